#include "engine/WallpaperImageLoader.h"

#include "engine/WallpaperImageCache.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "platform/Http.h"
#include "platform/HttpError.h"

#include <QCoro/QCoroFuture>
#include <QNetworkRequest>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <map>
#include <vector>

namespace {
// The loads running now, each by the stop of its own that endLoads() requests. GUI thread.
std::map<quint64, std::stop_source>& runningLoads()
{
    static std::map<quint64, std::stop_source> loads;
    return loads;
}
} // namespace

WallpaperImageLoader::WallpaperImageLoader(QObject* parent)
    : WallpaperImageLoader(WallpaperImageCache::shared(), RetryPolicy{}, parent)
{
}

WallpaperImageLoader::WallpaperImageLoader(WallpaperImageCache& cache, RetryPolicy policy, QObject* parent)
    : QObject(parent), cache_(&cache), policy_(std::move(policy))
{
}

WallpaperImageLoader::~WallpaperImageLoader() = default;

void WallpaperImageLoader::setUrl(const QUrl& url)
{
    if (url == url_)
        return;
    url_ = url;
    if (!url_.isEmpty()) {
        startLoading();
        return;
    }
    publish({}, {});
    cancelLoad();
}

void WallpaperImageLoader::startLoading()
{
    if (url_.isEmpty())
        return;
    cancelLoad();
    givenUp_ = false;
    if (const QImage cached = cache_ ? cache_->memoryImage(url_) : QImage(); !cached.isNull()) {
        publish(cached, url_);
        return;
    }
    load_.emplace();
    fireAndForget(load(url_, load_->get_token()), QStringLiteral("WallpaperImageLoader"));
}

void WallpaperImageLoader::retryIfGivenUp()
{
    if (givenUp_)
        startLoading();
}

void WallpaperImageLoader::cancelLoad()
{
    if (load_)
        load_->request_stop();
    load_.reset();
}

void WallpaperImageLoader::publish(const QImage& image, const QUrl& url)
{
    imageUrl_ = url;
    if (image.cacheKey() == image_.cacheKey())
        return;
    image_ = image;
    Q_EMIT imageChanged();
}

bool WallpaperImageLoader::endLoads(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop below when nothing else does.
    QTimer tick;
    tick.start(10);
    while (!runningLoads().empty() && !deadline.hasExpired()) {
        // Copies: a stop can end a load, and take it out of the list, at once.
        std::vector<std::stop_source> loads;
        for (const auto& [id, stop] : runningLoads())
            loads.push_back(stop);
        for (std::stop_source& stop : loads)
            stop.request_stop();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    }
    return runningLoads().empty();
}

QCoro::Task<> WallpaperImageLoader::load(QUrl url, std::stop_token loaderStop)
{
    // Listed for endLoads() with a stop of its own, which the loader's stop relays to.
    static quint64 lastId = 0;
    const quint64 id = ++lastId;
    std::stop_source own;
    runningLoads().emplace(id, own);
    const auto unlist = qScopeGuard([id] { runningLoads().erase(id); });
    const std::stop_callback relay(loaderStop, [own]() mutable { own.request_stop(); });
    const std::stop_token stop = own.get_token();
    // The load may outlive this loader and its cache: everything it needs after a wait is held
    // here, and both are looked up again after every wait.
    const QPointer<WallpaperImageLoader> self(this);
    const QPointer<WallpaperImageCache> cache = cache_;
    const RetryPolicy policy = policy_;
    const QString name = url.fileName();
    const QNetworkRequest request(url);

    // The file of an earlier run: decoded off the GUI thread, which a scrolling grid needs. The
    // worker gets the path, never the cache.
    const QString path = cache ? cache->diskPath(url) : QString();
    QFuture<QImage> reading = QtConcurrent::run([path] { return WallpaperImageCache::readFile(path); });
    const QImage stored = co_await reading;
    if (stop.stop_requested())
        co_return;
    if (!stored.isNull()) {
        if (cache)
            cache->keep(stored, url);
        if (self)
            self->publish(stored, url);
        co_return;
    }

    int pauseMs = policy.firstPauseMs;
    // The first attempt fills the cache even for a view that went meanwhile; retries are for views.
    for (int attempt = 0; attempt < policy.attempts && !stop.stop_requested() && (attempt == 0 || self); ++attempt) {
        QString failure;
        try {
            const HttpResponse response = co_await Http::shared().send(request, "GET", QByteArray(), stop);
            if (stop.stop_requested())
                co_return;
            if (response.isSuccess()) {
                QFuture<QImage> decoding = QtConcurrent::run([body = response.body] { return QImage::fromData(body); });
                const QImage image = co_await decoding;
                if (stop.stop_requested())
                    co_return;
                if (!image.isNull()) {
                    if (cache)
                        cache->store(image, url);
                    if (self)
                        self->publish(image, url);
                    if (attempt > 0)
                        logLine(QStringLiteral("✅ Image loaded successfully on attempt %1: %2").arg(attempt + 1).arg(name));
                    co_return;
                }
                continue; // not an image: the next attempt at once, silently
            }
            // An error status is a failed attempt like a lost connection: fetching again at once
            // would only hit a struggling server ten times in a row.
            failure = QStringLiteral("The server answered with status %1").arg(response.status);
        } catch (const HttpError& error) {
            failure = error.localizedDescription();
        }

        // A view that went away gets its picture from the cache if this attempt filled it;
        // retrying for nobody only loads a struggling server further.
        if (stop.stop_requested() || !self)
            co_return;
        if (attempt == policy.attempts - 1) {
            logLine(QStringLiteral("❌ Image load failed after %1 attempts: %2").arg(policy.attempts).arg(name));
            break;
        }
        if (attempt == 0) {
            logLine(QStringLiteral("⏳ Image load failed (attempt 1/%1): %2 - %3").arg(policy.attempts).arg(name, failure));
        }
        QCoro::Task<bool> pause = policy.sleep(std::min(pauseMs, policy.longestPauseMs), stop);
        co_await pause;
        pauseMs = std::min(pauseMs * 2, policy.longestPauseMs);
    }
    // Given up: the view asks again when it next comes on screen.
    if (!stop.stop_requested() && self && self->url_ == url)
        self->givenUp_ = true;
}
