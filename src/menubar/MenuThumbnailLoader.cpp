#include "menubar/MenuThumbnailLoader.h"

#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/CacheFile.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "menubar/ThumbnailMenuItemView.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kType = QStringLiteral("MenuBarManager");
} // namespace

MenuThumbnailLoader::MenuThumbnailLoader(QAction* item, ThumbnailMenuItemView* view, QObject* parent)
    : QObject(parent), item_(item), view_(view)
{
}

std::optional<QString> MenuThumbnailLoader::posterCachePath(qint64 key)
{
    const QString caches = Paths::caches();
    if (caches.isEmpty())
        return std::nullopt;
    return caches + QStringLiteral("/Quorvelle/images/posters/") + QString::number(key) + QStringLiteral(".webp");
}

void MenuThumbnailLoader::loadVideoFrame(QUrl videoUrl)
{
    fireAndForget(videoFrame(this, nextGeneration(), std::move(videoUrl)), kType);
}

void MenuThumbnailLoader::loadPoster(qint64 key, QString posterUrlText)
{
    fireAndForget(poster(this, nextGeneration(), key, std::move(posterUrlText)), kType);
}

void MenuThumbnailLoader::loadCachedPoster(qint64 key)
{
    const quint64 generation = nextGeneration();
    const QImage image = cachedPoster(key);
    if (image.isNull())
        hide(generation);
    else
        show(generation, image);
}

void MenuThumbnailLoader::hide() { hide(nextGeneration()); }

QCoro::Task<> MenuThumbnailLoader::videoFrame(QPointer<MenuThumbnailLoader> self, quint64 generation, QUrl videoUrl)
{
    // The media reader opens local files only; remote videos are the caller's to resolve.
    const QString path = videoUrl.toLocalFile();
    if (!videoUrl.isLocalFile() || !QFileInfo(path).isFile()) {
        self->hide(generation);
        co_return;
    }
    QImage frame;
    QString failure = QStringLiteral("no frame");
    try {
        frame = co_await MediaTools::shared().frameAtAsync(path, kFrameSeconds, kFrameBounds);
    } catch (const std::exception& error) {
        // Unreadable video or no frame: the row goes, as below.
        failure = describeError(error);
    }
    if (frame.isNull())
        logFailure(path, failure);
    if (!self)
        co_return;
    if (frame.isNull())
        self->hide(generation);
    else
        self->show(generation, std::move(frame));
}

QCoro::Task<> MenuThumbnailLoader::poster(QPointer<MenuThumbnailLoader> self, quint64 generation, qint64 key, QString posterUrlText)
{
    if (const QImage cached = cachedPoster(key); !cached.isNull()) {
        self->show(generation, cached);
        co_return;
    }
    const QUrl url(posterUrlText, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        // No picture for this wallpaper: never leave the previous one's on show.
        self->hide(generation);
        co_return;
    }
    const QNetworkRequest request(url);
    HttpResponse response;
    try {
        response = co_await Http::shared().send(request);
    } catch (const std::exception& error) {
        logFailure(posterUrlText, describeError(error));
        if (self)
            self->hide(generation);
        co_return;
    }
    // The status is not looked at: whatever decodes as a picture is the poster.
    const QImage image = QImage::fromData(response.body);
    if (image.isNull())
        logFailure(posterUrlText, QStringLiteral("not a picture (status %1)").arg(response.status));
    if (!self)
        co_return;
    if (image.isNull()) {
        self->hide(generation);
        co_return;
    }
    self->show(generation, image);
    writePosterCache(key, response.body);
}

void MenuThumbnailLoader::logFailure(const QString& source, const QString& why)
{
    logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Menu thumbnail not read from ") + source + QStringLiteral(": ") + why);
}

QImage MenuThumbnailLoader::cachedPoster(qint64 key)
{
    const std::optional<QString> path = posterCachePath(key);
    if (!path)
        return {};
    // Decoded by content: the bytes are whatever the poster address gave, WebP or not.
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QImage::fromData(file.readAll());
}

void MenuThumbnailLoader::writePosterCache(qint64 key, const QByteArray& bytes)
{
    const std::optional<QString> path = posterCachePath(key);
    if (!path)
        return;
    // Failures are ignored: the next refresh simply fetches the poster again. The file is
    // written whole or not at all, so a half-written poster is never read back.
    QDir().mkpath(QFileInfo(*path).path());
    CacheFile::write(*path, bytes);
}

void MenuThumbnailLoader::show(quint64 generation, QImage image)
{
    if (isCurrent(generation) && view_)
        view_->setThumbnailImage(std::move(image));
    Q_EMIT loadEnded(generation);
}

void MenuThumbnailLoader::hide(quint64 generation)
{
    if (isCurrent(generation)) {
        if (item_)
            item_->setVisible(false);
        if (view_)
            view_->setThumbnailImage(QImage());
    }
    Q_EMIT loadEnded(generation);
}
