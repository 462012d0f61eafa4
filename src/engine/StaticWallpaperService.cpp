#include "engine/StaticWallpaperService.h"

#include "engine/StaticWallpaperError.h"
#include "foundation/Paths.h"
#include "foundation/RenamedDomain.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopPicture.h"
#include "platform/FileError.h"
#include "platform/MediaError.h"
#include "platform/MediaTools.h"
#include "platform/Screens.h"

#include <QBuffer>
#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <variant>

namespace {
using Kind = StaticWallpaperError::Kind;

// What the worker that encodes and writes the JPEG reports back: nothing on success.
struct EncodeFailed {};
struct WriteFailed {
    QString reason;
};
using WriteOutcome = std::variant<std::monostate, EncodeFailed, WriteFailed>;

// Removes a symbolic link at `path` itself, never what it points to: whatever planted it chose
// its target. False, with the reason, when the link stays.
bool removeLink(const QString& path, QString* reason)
{
    if (!QFileInfo(path).isSymLink() || ::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    *reason = QStringLiteral("a symbolic link in its place cannot be removed (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// The pictures' folder as a folder of the user's own: a link in its place is removed, so the
// folder's rights are never changed, nor a picture written, through it; a folder of another user
// is refused.
void makePictureFolder(const QString& folder)
{
    QString reason;
    if (!removeLink(folder, &reason))
        throw FileError(folder, reason);
    struct stat facts {};
    if (::lstat(QFile::encodeName(folder).constData(), &facts) == 0 && S_ISDIR(facts.st_mode) && facts.st_uid != ::geteuid())
        throw FileError(folder, QStringLiteral("belongs to another user"));
    if (!Paths::makePrivateFolder(folder, &reason))
        throw FileError(folder, QStringLiteral("cannot be created (%1)").arg(reason));
}

WriteOutcome writeJpeg(const QImage& frame, const QString& path)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(StaticWallpaperService::kJpegQuality);
    if (!writer.write(frame) || jpeg.isEmpty())
        return EncodeFailed{};
    // QSaveFile would write through a link at the path: the link goes first, and the folder is
    // the user's alone, so none can be planted again meanwhile.
    QString reason;
    if (!removeLink(path, &reason))
        return WriteFailed{reason};
    // QSaveFile: the desktop never picks up a half-written picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit())
        return WriteFailed{file.errorString()};
    return {};
}
} // namespace

StaticWallpaperService::StaticWallpaperService(QObject* parent)
    : QObject(parent), ownDefaults_(std::make_unique<UserDefaults>(kLoginWindowDomain)), loginWindow_(*ownDefaults_)
{
    RenamedDomain::bringOver(loginWindow_, kFormerLoginWindowDomain);
}

StaticWallpaperService::StaticWallpaperService(UserDefaults& loginWindowDefaults, QObject* parent)
    : QObject(parent), loginWindow_(loginWindowDefaults)
{
}

StaticWallpaperService::~StaticWallpaperService() = default;

StaticWallpaperService& StaticWallpaperService::shared() { return Shared<StaticWallpaperService>::instance(); }

// In the user's own caches: a fixed folder in the shared temporary folder could be made first,
// and so owned, by another user of the machine, who would then own the pictures the desktop shows.
QString StaticWallpaperService::folderPath() { return Paths::appCaches() + QStringLiteral("/StaticWallpaper"); }

QString StaticWallpaperService::imageFileName(const QString& videoPath)
{
    return QFileInfo(videoPath).completeBaseName() + QStringLiteral("_static.jpg");
}

QCoro::Task<> StaticWallpaperService::setStaticWallpaper(QUrl videoUrl)
{
    const QUrl image = co_await extractFrameImage(videoUrl);
    co_await setDesktopPicture(image);
}

QCoro::Task<QUrl> StaticWallpaperService::extractFrameImage(QUrl videoUrl)
{
    const QString videoPath = videoUrl.isLocalFile() ? videoUrl.toLocalFile() : videoUrl.toString();
    if (!videoUrl.isLocalFile() || !QFileInfo::exists(videoPath))
        throw StaticWallpaperError(Kind::videoFileNotFound, videoPath);

    QImage frame;
    try {
        frame = co_await MediaTools::shared().frameAtAsync(videoPath, kFrameSeconds, kLargestPicture);
    } catch (const MediaError& error) {
        if (error.kind() == MediaError::Kind::fileNotFound)
            throw StaticWallpaperError(Kind::videoFileNotFound, videoPath);
        throw StaticWallpaperError(Kind::frameExtractionFailed);
    }
    if (frame.isNull())
        throw StaticWallpaperError(Kind::imageConversionFailed);

    const QString folder = folderPath();
    makePictureFolder(folder);
    const QString imagePath = folder + QLatin1Char('/') + imageFileName(videoPath);

    QFuture<WriteOutcome> writing = QtConcurrent::run([frame, imagePath] { return writeJpeg(frame, imagePath); });
    const WriteOutcome outcome = co_await writing;
    if (std::holds_alternative<EncodeFailed>(outcome))
        throw StaticWallpaperError(Kind::imageSaveFailed);
    if (const auto* failed = std::get_if<WriteFailed>(&outcome))
        throw FileError(imagePath, QStringLiteral("cannot be written (%1)").arg(failed->reason));
    co_return QUrl::fromLocalFile(imagePath);
}

QCoro::Task<> StaticWallpaperService::setDesktopPicture(QUrl imageUrl)
{
    const QString imagePath = imageUrl.toLocalFile();
    DesktopPicture& desktop = DesktopPicture::shared();
    for (const ScreenInfo& screen : Screens::shared().screens()) {
        QString refusal;
        try {
            co_await desktop.setPicture(imagePath, screen);
        } catch (const std::exception& error) {
            refusal = describeError(error);
        }
        if (!refusal.isNull())
            throw StaticWallpaperError(Kind::wallpaperSettingFailed, refusal);
    }
    loginWindow_.setString(kLoginWindowPictureKey, imagePath);
}
