#pragma once

#include "backend/AutoCompleteResult.h"
#include "backend/CategoryItem.h"
#include "backend/GravelnookData.h"
#include "backend/HomePageResponse.h"
#include "backend/QueryItem.h"
#include "backend/ResolutionWallpapersResponse.h"
#include "backend/UploadURLResponse.h"
#include "backend/WallpaperResponseItem.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

class Clock;
class Http;
class ResponseCache;

// The client of the catalogue backend: every backend call passes through request(), which adds
// the JSON headers and the bearer key, answers repeated cacheable GETs from the one-hour
// response cache ("api_cache.json" under the application's caches), accepts only 2xx replies
// and reports failures as APIError. The endpoint calls build their address and body, call it and
// decode the bytes. One shared instance on the GUI thread, kept until exit.
class APIService : public QObject {
    Q_OBJECT
public:
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    struct Settings {
        QString baseURL;                // "https://<backend host>/functions/v1"
        QString bearerKey;              // empty: no authorization header
        QString cacheFilePath;          // empty: the response cache lives in memory only
        int requestTimeoutMs = 30'000;  // the longest silence within one transfer
        int resourceTimeoutMs = 60'000; // the longest one transfer may take
        // The most a reply may hold: the largest real one is a few MB, and a reply without end
        // must not take the memory with it.
        qint64 maxReplyBytes = 64 << 20;

        // The deployment's backend address and key, and Caches/Quorvelle/api_cache.json.
        static Settings deployment();
    };

    // The deployment settings, the system clock and the shared transfer stack.
    explicit APIService(QObject* parent = nullptr);
    APIService(Settings settings, const Clock& clock, Http& http, QObject* parent = nullptr);
    ~APIService() override;

    static APIService& shared();

    // "https://<backend host>/functions/v1", no trailing slash.
    const QString& baseURL() const { return baseURL_; }
    // baseURL + "/" + endpoint with the query items in the given order; nothing when that is not
    // a valid absolute address.
    std::optional<QUrl> endpointURL(const QString& endpoint, const QList<QueryItem>& query = {}) const;

    // Sends one request and returns the body of a 2xx reply (possibly empty). Throws APIError:
    // httpError for another status, networkError for a transfer failure, a time-out or a reply
    // longer than Settings::maxReplyBytes,
    // invalidResponse for a reply without a status; RequestCancelledError once `stop` is
    // requested. Cacheable GETs are answered from the response cache while fresh.
    QCoro::Task<QByteArray> request(QUrl url, QByteArray method, Headers headers = {},
        std::optional<QByteArray> body = std::nullopt, std::stop_token stop = {});

    // Catalogue reads. Failures: APIError::invalidURL before sending, the request's APIError,
    // or the decoder's own JsonError for a reply of the wrong shape. A seed (sent last, only when
    // given) fixes a random order, so every page of one list is cut from the same order.
    // `stop` ends the transfer with RequestCancelledError.
    QCoro::Task<QList<WallpaperResponseItem>> getWallpapers(QString mode, qint64 limit, qint64 page,
        std::optional<QString> type = std::nullopt, std::optional<qint64> seed = std::nullopt, std::stop_token stop = {});
    QCoro::Task<QList<WallpaperResponseItem>> getWallpapersByCategory(qint64 category, qint64 limit, qint64 page,
        std::optional<QString> sort = std::nullopt, std::optional<qint64> seed = std::nullopt, std::stop_token stop = {});
    QCoro::Task<ResolutionWallpapersResponse> getWallpapersByResolution(QString filter, qint64 limit, qint64 page);
    QCoro::Task<HomePageResponse> getHomePage();
    QCoro::Task<QList<CategoryItem>> getCategories();
    QCoro::Task<QList<WallpaperResponseItem>> getWallpapersById(QList<qint64> keys);
    // Also APIError::invalidResponseFormat when the partner site reports no success.
    QCoro::Task<GravelnookData> getGravelnookWallpaper(QString id);
    QCoro::Task<QList<WallpaperResponseItem>> getWallpaperSuggestions(qint64 key);

    // Search: any query is sent, even an empty one. APIError::invalidResponseFormat when the
    // reply has none of the accepted shapes.
    QCoro::Task<QList<WallpaperResponseItem>> searchWallpapers(QString query, std::stop_token stop = {});
    // A blank query gives no result without a request; a reply of no known shape gives no
    // result, not an error.
    QCoro::Task<AutoCompleteResult> autoComplete(QString query, std::stop_token stop = {});
    // Reports a wallpaper and returns at once. `arrived`, when given, hears on a later turn
    // whether the backend took the report; a failure is logged as well.
    void flagWallpaper(qint64 key, QString remarks, std::function<void(bool arrived)> arrived = {});

    // Uploads. requestUploadURL: a reply of the wrong shape is APIError::decodingError.
    QCoro::Task<UploadURLResponse> requestUploadURL(QString deviceUUID);
    // True for any 2xx reply; the body is not read.
    QCoro::Task<bool> uploadWallpaper(QString deviceUUID, QString title, qint64 categoryId, QString wallpaperKey);
    // Review status by wallpaper key (a later item wins); never cached. A reply of the wrong
    // shape throws the decoder's JsonError.
    QCoro::Task<QHash<qint64, QString>> checkUploadStatus(QString deviceUUID);

    ResponseCache& responseCache() { return *cache_; }

private:
    struct Call {
        QUrl url;
        QByteArray method;
        Headers headers;
        std::optional<QByteArray> body;
        std::stop_token stop;

        static Call get(QUrl url, std::stop_token stop = {}) { return Call{std::move(url), "GET", {}, std::nullopt, std::move(stop)}; }
        static Call post(QUrl url, QByteArray body, std::stop_token stop = {})
        {
            return Call{std::move(url), "POST", {}, std::move(body), std::move(stop)};
        }
    };

    // The request core: the cache lookup, the transfer and the store. A reply is decoded before
    // it is cached, and a cached one before it is served, so only replies that decode are ever
    // kept; a cached reply that no longer decodes is dropped and fetched again. A value that
    // `worthKeeping` refuses (one the caller asks again for) is neither cached nor served from
    // the cache.
    template <typename T>
    QCoro::Task<T> send(Call call, std::function<T(const QByteArray&)> decode,
        std::function<bool(const T&)> worthKeeping = {});
    QCoro::Task<QByteArray> transfer(Call call);
    QCoro::Task<> sendReport(QUrl url, QByteArray body, qint64 key, std::function<void(bool)> arrived);
    QUrl requireURL(const QString& endpoint, const QList<QueryItem>& query = {}) const;

    const QString baseURL_;
    const Settings settings_; // baseURL_ holds its address

    Http& http_;
    std::unique_ptr<ResponseCache> cache_;
};
