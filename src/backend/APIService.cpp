#include "backend/APIService.h"

#include "backend/APIError.h"
#include "backend/AutoCompleteReader.h"
#include "backend/CategoriesResponse.h"
#include "backend/GravelnookResponse.h"
#include "backend/RequestCancelledError.h"
#include "backend/ResponseCache.h"
#include "backend/SearchReplyReader.h"
#include "backend/UploadStatusResponse.h"
#include "backend/WallpapersResponse.h"
#include "foundation/Async.h"
#include "foundation/Clock.h"
#include "foundation/Config.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "foundation/Text.h"
#include "platform/Http.h"
#include "platform/HttpError.h"
#include "platform/HttpRedirect.h"

#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace {
void logService(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("APIService"), message); }

QString describeRequest(const QByteArray& method, const QUrl& url)
{
    return QString::fromLatin1(method) + QLatin1Char(' ') + url.toString(QUrl::FullyEncoded);
}

template <typename T>
T decodeRecord(const QByteArray& reply)
{
    return T::fromJson(JsonReader::parse(reply));
}

QByteArray jsonBody(const QJsonObject& object) { return JsonWriter::toBytes(object); }

QString trimmedBase(QString base)
{
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString queryLength(const QString& query) { return QString::number(Text::graphemeCount(query)); }
} // namespace

APIService::Settings APIService::Settings::deployment()
{
    const Config& config = Config::current();
    Settings settings;
    settings.baseURL = config.backendBaseUrl.toString(QUrl::FullyEncoded);
    settings.bearerKey = config.backendKey;
    settings.cacheFilePath = Paths::appCaches() + QStringLiteral("/api_cache.json");
    return settings;
}

APIService::APIService(QObject* parent) : APIService(Settings::deployment(), Clock::system(), Http::shared(), parent) {}

APIService::APIService(Settings settings, const Clock& clock, Http& http, QObject* parent)
    : QObject(parent)
    , baseURL_(trimmedBase(std::move(settings.baseURL)))
    , settings_(std::move(settings))
    , http_(http)
    , cache_(std::make_unique<ResponseCache>(settings_.cacheFilePath, clock))
{
}

APIService::~APIService() = default;

APIService& APIService::shared() { return Shared<APIService>::instance(); }

std::optional<QUrl> APIService::endpointURL(const QString& endpoint, const QList<QueryItem>& query) const
{
    QUrl url(baseURL_ + QLatin1Char('/') + endpoint, QUrl::StrictMode);
    if (!query.isEmpty())
        url.setQuery(QueryItem::encode(query), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

QUrl APIService::requireURL(const QString& endpoint, const QList<QueryItem>& query) const
{
    const auto url = endpointURL(endpoint, query);
    if (!url)
        throw APIError::invalidURL();
    return *url;
}

QCoro::Task<QByteArray> APIService::request(QUrl url, QByteArray method, Headers headers, std::optional<QByteArray> body,
    std::stop_token stop)
{
    return send<QByteArray>(Call{std::move(url), std::move(method), std::move(headers), std::move(body), std::move(stop)},
        [](const QByteArray& reply) { return reply; });
}

template <typename T>
QCoro::Task<T> APIService::send(Call call, std::function<T(const QByteArray&)> decode, std::function<bool(const T&)> worthKeeping)
{
    const bool cacheable = ResponseCache::isCacheable(call.method, call.url);
    const QString described = describeRequest(call.method, call.url);
    QString key;
    if (cacheable) {
        key = ResponseCache::cacheKey(call.method, call.url, call.body);
        if (const auto cached = cache_->cachedResponse(key)) {
            try {
                T value = decode(*cached);
                if (!worthKeeping || worthKeeping(value)) {
                    logService(QStringLiteral("💾"), QStringLiteral("Cache HIT: ") + described);
                    co_return value;
                }
            } catch (const JsonError&) {
                cache_->remove(key); // written by an older version, or damaged: fetch it again
            }
        }
        logService(QStringLiteral("💾"), QStringLiteral("Cache MISS: ") + described);
    }
    const QPointer<APIService> self(this);
    const QByteArray reply = co_await transfer(call);
    T value = decode(reply); // a reply that does not decode is never cached
    // A client let go while its call was under way (a test's, or one made for a page) keeps nothing.
    if (self && cacheable && (!worthKeeping || worthKeeping(value))) {
        cache_->store(reply, key);
        logService(QStringLiteral("💾"), QStringLiteral("Cached response: ") + described);
    }
    co_return value;
}

QCoro::Task<QByteArray> APIService::transfer(Call call)
{
    if (call.stop.stop_requested())
        throw RequestCancelledError();
    logService(QStringLiteral("🌐"), describeRequest(call.method, call.url));

    QNetworkRequest request(call.url);
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Accept", "application/json");
    if (!settings_.bearerKey.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + settings_.bearerKey.toUtf8());
    for (const auto& [name, value] : call.headers)
        request.setRawHeader(name, value);

    // One stop for the transfer: the caller's, or the overall deadline.
    std::stop_source stopTransfer;
    std::stop_callback forwardStop(call.stop, [&stopTransfer] { stopTransfer.request_stop(); });
    bool pastDeadline = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        pastDeadline = true;
        stopTransfer.request_stop();
    });
    deadline.start(settings_.resourceTimeoutMs);

    HttpResponse response;
    try {
        response = co_await http_.send(request, call.method, call.body.value_or(QByteArray()), stopTransfer.get_token(),
            settings_.requestTimeoutMs, settings_.maxReplyBytes);
    } catch (const HttpError&) {
        if (call.stop.stop_requested())
            throw RequestCancelledError();
        if (pastDeadline) {
            throw APIError::networkError(std::make_exception_ptr(HttpError(HttpError::Kind::TimedOut,
                QNetworkReply::TimeoutError, QStringLiteral("The request timed out."))));
        }
        throw APIError::networkError(std::current_exception());
    } catch (const std::exception&) {
        throw APIError::networkError(std::current_exception());
    }
    // A reply that arrives after the caller gave up is not theirs any more.
    if (call.stop.stop_requested())
        throw RequestCancelledError();
    if (response.status <= 0)
        throw APIError::invalidResponse();
    if (const std::optional<QUrl> next = HttpRedirect::insecureTarget(response.url.isEmpty() ? call.url : response.url,
            response.status, response.header("Location"))) {
        throw APIError::networkError(std::make_exception_ptr(HttpError(HttpError::Kind::Transport, QNetworkReply::InsecureRedirectError,
            QStringLiteral("The server sent the request on to an address without encryption: ") + next->toString())));
    }
    if (!response.isSuccess())
        throw APIError::httpError(response.status);
    co_return response.body;
}

QCoro::Task<QList<WallpaperResponseItem>> APIService::getWallpapers(QString mode, qint64 limit, qint64 page,
    std::optional<QString> type, std::optional<qint64> seed, std::stop_token stop)
{
    QList<QueryItem> query{{QStringLiteral("mode"), mode}, {QStringLiteral("limit"), QString::number(limit)},
        {QStringLiteral("page"), QString::number(page)}};
    if (type)
        query.append({QStringLiteral("type"), *type});
    if (seed)
        query.append({QStringLiteral("seed"), QString::number(*seed)});
    const QUrl url = requireURL(QStringLiteral("get-wallpapers"), query);
    co_return co_await send<QList<WallpaperResponseItem>>(Call::get(url, std::move(stop)), &WallpapersResponse::listFromReply);
}

QCoro::Task<QList<WallpaperResponseItem>> APIService::getWallpapersByCategory(qint64 category, qint64 limit, qint64 page,
    std::optional<QString> sort, std::optional<qint64> seed, std::stop_token stop)
{
    QList<QueryItem> query{{QStringLiteral("category"), QString::number(category)},
        {QStringLiteral("limit"), QString::number(limit)}, {QStringLiteral("page"), QString::number(page)}};
    if (sort)
        query.append({QStringLiteral("sort_by"), *sort});
    if (seed)
        query.append({QStringLiteral("seed"), QString::number(*seed)});
    const QUrl url = requireURL(QStringLiteral("get-wallpapers-by-category"), query);
    co_return co_await send<QList<WallpaperResponseItem>>(Call::get(url, std::move(stop)), &WallpapersResponse::listFromReply);
}

QCoro::Task<ResolutionWallpapersResponse> APIService::getWallpapersByResolution(QString filter, qint64 limit, qint64 page)
{
    const QUrl url = requireURL(QStringLiteral("get-wallpapers-by-resolution"),
        {{QStringLiteral("filter"), filter}, {QStringLiteral("limit"), QString::number(limit)},
            {QStringLiteral("page"), QString::number(page)}});
    co_return co_await send<ResolutionWallpapersResponse>(Call::get(url), &decodeRecord<ResolutionWallpapersResponse>);
}

QCoro::Task<HomePageResponse> APIService::getHomePage()
{
    const QUrl url = requireURL(QStringLiteral("get-home-page"));
    co_return co_await send<HomePageResponse>(Call::get(url), &decodeRecord<HomePageResponse>);
}

QCoro::Task<QList<CategoryItem>> APIService::getCategories()
{
    const QUrl url = requireURL(QStringLiteral("get-categories"));
    // The store asks again while it has no categories: an empty list is never kept.
    co_return co_await send<QList<CategoryItem>>(Call::get(url),
        [](const QByteArray& reply) { return decodeRecord<CategoriesResponse>(reply).categories; },
        [](const QList<CategoryItem>& categories) { return !categories.isEmpty(); });
}

QCoro::Task<QList<WallpaperResponseItem>> APIService::getWallpapersById(QList<qint64> keys)
{
    QStringList texts;
    for (const qint64 key : keys)
        texts.append(QString::number(key));
    const QUrl url = requireURL(QStringLiteral("get-wallpapers-by-id"), {{QStringLiteral("keys"), texts.join(QLatin1Char(','))}});
    co_return co_await send<QList<WallpaperResponseItem>>(Call::get(url), &WallpapersResponse::listFromReply);
}

QCoro::Task<GravelnookData> APIService::getGravelnookWallpaper(QString id)
{
    const QUrl url = requireURL(QStringLiteral("gravel-nook"), {{QStringLiteral("id"), id}});
    const GravelnookResponse response = co_await send<GravelnookResponse>(Call::get(url), &decodeRecord<GravelnookResponse>);
    if (!response.success)
        throw APIError::invalidResponseFormat();
    co_return response.data;
}

QCoro::Task<QList<WallpaperResponseItem>> APIService::getWallpaperSuggestions(qint64 key)
{
    const QUrl url = requireURL(QStringLiteral("wallpaper-suggestions"));
    const QByteArray body = jsonBody({{QStringLiteral("key"), JsonWriter::encode(key)}});
    co_return co_await send<QList<WallpaperResponseItem>>(Call::post(url, body), &WallpapersResponse::listFromReply);
}

QCoro::Task<QList<WallpaperResponseItem>> APIService::searchWallpapers(QString query, std::stop_token stop)
{
    if (stop.stop_requested())
        throw RequestCancelledError();
    const QUrl url = requireURL(QStringLiteral("search-wallpapers"));
    const QByteArray body = jsonBody({{QStringLiteral("query"), query}});
    logLine(QStringLiteral("🔎"), QStringLiteral("SearchAPI"),
        QStringLiteral("POST search-wallpapers query=") + queryLength(query) + QStringLiteral(" chars — ")
            + url.toString(QUrl::FullyEncoded));
    co_return co_await send<QList<WallpaperResponseItem>>(Call::post(url, body, stop), &SearchReplyReader::read);
}

QCoro::Task<AutoCompleteResult> APIService::autoComplete(QString query, std::stop_token stop)
{
    if (Text::trimmed(query).isEmpty())
        co_return AutoCompleteResult{};
    if (stop.stop_requested())
        throw RequestCancelledError();
    const QUrl url = requireURL(QStringLiteral("auto-complete"));
    const QByteArray body = jsonBody({{QStringLiteral("query"), query}});
    logLine(QStringLiteral("⌨️"), QStringLiteral("AutoComplete"),
        QStringLiteral("POST auto-complete (no debounce) query=") + queryLength(query) + QStringLiteral(" chars — ")
            + url.toString(QUrl::FullyEncoded));
    std::function<AutoCompleteResult(const QByteArray&)> decode = [query](const QByteArray& reply) {
        return AutoCompleteReader::read(reply, query);
    };
    co_return co_await send<AutoCompleteResult>(Call::post(url, body, stop), std::move(decode));
}

void APIService::flagWallpaper(qint64 key, QString remarks, std::function<void(bool)> arrived)
{
    const auto url = endpointURL(QStringLiteral("flag-wallpaper"));
    if (!url) {
        if (arrived)
            postToMain([arrived] { arrived(false); });
        return;
    }
    const QByteArray body = jsonBody({{QStringLiteral("key"), JsonWriter::encode(key)}, {QStringLiteral("remarks"), remarks}});
    // Sent on a later turn of the event loop; the caller never waits for the outcome.
    launch([self = QPointer<APIService>(this), url = *url, body, key, arrived]() -> QCoro::Task<> {
        if (!self) {
            if (arrived)
                arrived(false);
            return []() -> QCoro::Task<> { co_return; }();
        }
        return self->sendReport(url, body, key, arrived);
    }, QStringLiteral("APIService"));
}

QCoro::Task<> APIService::sendReport(QUrl url, QByteArray body, qint64 key, std::function<void(bool)> arrived)
{
    bool sent = true;
    try {
        co_await request(url, "POST", {}, body);
    } catch (const std::exception& error) {
        sent = false;
        logService(QStringLiteral("❌"), QStringLiteral("Failed to flag wallpaper %1: ").arg(key) + describeError(error));
    }
    if (arrived)
        arrived(sent);
}

QCoro::Task<UploadURLResponse> APIService::requestUploadURL(QString deviceUUID)
{
    const QUrl url = requireURL(QStringLiteral("request-upload-url"));
    const QByteArray body = jsonBody({{QStringLiteral("device_uuid"), deviceUUID}});
    co_return co_await send<UploadURLResponse>(Call::post(url, body), [](const QByteArray& reply) {
        try {
            return decodeRecord<UploadURLResponse>(reply);
        } catch (const JsonError&) {
            throw APIError::decodingError(std::current_exception());
        }
    });
}

QCoro::Task<bool> APIService::uploadWallpaper(QString deviceUUID, QString title, qint64 categoryId, QString wallpaperKey)
{
    const QUrl url = requireURL(QStringLiteral("upload-wallpaper"));
    const QByteArray body = jsonBody({
        {QStringLiteral("device_uuid"), deviceUUID},
        {QStringLiteral("title"), title},
        {QStringLiteral("category"), JsonWriter::encode(categoryId)},
        {QStringLiteral("wallpaper_key"), wallpaperKey}, // text, as the upload address gave it
    });
    co_await request(url, "POST", {}, body);
    co_return true;
}

QCoro::Task<QHash<qint64, QString>> APIService::checkUploadStatus(QString deviceUUID)
{
    const QUrl url = requireURL(QStringLiteral("check-upload-status"), {{QStringLiteral("device_uuid"), deviceUUID}});
    co_return co_await send<QHash<qint64, QString>>(Call::get(url), [](const QByteArray& reply) {
        QHash<qint64, QString> statuses;
        for (const UploadStatusItem& item : decodeRecord<UploadStatusResponse>(reply).uploads)
            statuses.insert(item.key, item.status); // a later item for the same key wins
        return statuses;
    });
}
