#include "screens/own/CustomBackgroundImageLoader.h"

#include "engine/WallpaperImageCache.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "platform/Http.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

CustomBackgroundImageLoader::CustomBackgroundImageLoader(Http& http, WallpaperImageCache& cache, QObject* parent)
    : QObject(parent), http_(http), cache_(&cache)
{
}

CustomBackgroundImageLoader::~CustomBackgroundImageLoader() { cancel(); }

std::optional<QUrl> CustomBackgroundImageLoader::backgroundURL(const std::optional<QString>& host)
{
    if (!host)
        return std::nullopt;
    const QUrl url(QStringLiteral("https://") + *host + QStringLiteral("/custom_page_bg.webp"), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

void CustomBackgroundImageLoader::load(const std::optional<QUrl>& url)
{
    if (url == url_ && !failed_)
        return;
    url_ = url;
    failed_ = false;
    if (!url) {
        setImage({});
        cancel();
        return;
    }
    startLoading();
}

void CustomBackgroundImageLoader::startLoading()
{
    if (!url_)
        return;
    cancel();
    if (const QImage held = cache_ ? cache_->memoryImage(*url_) : QImage(); !held.isNull()) {
        setImage(held);
        return;
    }
    stop_.emplace();
    fireAndForget(download(*url_, stop_->get_token()), QStringLiteral("CustomBackgroundImageLoader"));
}

void CustomBackgroundImageLoader::cancel()
{
    if (stop_)
        stop_->request_stop();
    stop_.reset();
}

void CustomBackgroundImageLoader::setImage(const QImage& image)
{
    if (image.cacheKey() == image_.cacheKey())
        return;
    image_ = image;
    Q_EMIT imageChanged();
}

QCoro::Task<> CustomBackgroundImageLoader::download(QUrl url, std::stop_token stop)
{
    QPointer<CustomBackgroundImageLoader> self(this);
    const QString path = cache_ ? cache_->diskPath(url) : QString();
    QFuture<QImage> reading = QtConcurrent::run([path] { return WallpaperImageCache::readFile(path); });
    const QImage stored = co_await reading;
    if (stop.stop_requested() || !self)
        co_return;
    if (!stored.isNull()) {
        stop_.reset();
        if (cache_)
            cache_->keep(stored, url);
        setImage(stored);
        co_return;
    }

    HttpResponse response;
    QString failure;
    try {
        response = co_await http_.send(QNetworkRequest(url), "GET", {}, stop);
        if (!response.isSuccess())
            failure = tr("The server answered with status %1").arg(response.status);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (stop.stop_requested() || !self)
        co_return;
    QImage image;
    if (failure.isEmpty()) {
        QFuture<QImage> decoding = QtConcurrent::run([body = response.body] { return QImage::fromData(body); });
        image = co_await decoding;
        if (stop.stop_requested() || !self)
            co_return;
    }
    stop_.reset();
    if (!failure.isEmpty()) {
        failed_ = true;
        logLine(QStringLiteral("Custom background image load failed: ") + failure);
        co_return;
    }
    if (image.isNull()) {
        failed_ = true;
        co_return;
    }
    if (cache_)
        cache_->store(image, url);
    setImage(image);
}
