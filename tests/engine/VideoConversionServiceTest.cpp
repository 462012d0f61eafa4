#include "EngineTestClips.h"
#include "LockScreenFixture.h"
#include "engine/ConversionError.h"
#include "engine/VideoConversionService.h"
#include "support/TaskWait.h"
#include "foundation/Log.h"
#include "platform/Http.h"
#include "platform/HttpError.h"
#include "platform/MediaTools.h"

#include <QImage>
#include <QImageReader>

namespace {

using samplecatalogue::Fault;

constexpr qint64 kKey = 1718000000285;
constexpr qint64 kOtherKey = 1718000000211;

class VideoConversionServiceTest : public LockScreenFixture {
protected:
    // master.mp4: H.264 with AAC sound, as the catalogue's masters are. sound.m4a: no picture.
    static void SetUpTestSuite()
    {
        clips_ = new QTemporaryDir;
        EngineTestClips::makeClip(clip(u"picture.mp4"), QStringLiteral("320x180"), 2);
        EngineTestClips::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=duration=2"), QStringLiteral("-c:a"), QStringLiteral("aac"), clip(u"sound.m4a")});
        EngineTestClips::ffmpeg({QStringLiteral("-i"), clip(u"picture.mp4"), QStringLiteral("-i"), clip(u"sound.m4a"),
            QStringLiteral("-c"), QStringLiteral("copy"), clip(u"master.mp4")});
    }
    static void TearDownTestSuite() { delete std::exchange(clips_, nullptr); }
    static QString clip(QStringView name) { return clips_->filePath(name.toString()); }
    static QUrl clipUrl(QStringView name) { return QUrl::fromLocalFile(clip(name)); }

    QUrl thumbnailUrl(qint64 key)
    {
        return QUrl(catalogue_.server().baseUrl() + QStringLiteral("/wallpaper/%1/thumbnail.webp").arg(key));
    }
    QByteArray installedMovie() const { return readFile(folders_.installedMoviePath()); }
    QByteArray installedThumbnail() const { return readFile(folders_.installedThumbnailPath()); }
    // An earlier wallpaper, installed by hand.
    void installEarlierWallpaper() const
    {
        QDir().mkpath(folders_.videosFolder());
        QDir().mkpath(folders_.thumbnailsFolder());
        QFile movie(folders_.installedMoviePath());
        ASSERT_TRUE(movie.open(QIODevice::WriteOnly) && movie.write(kEarlierMovie) > 0);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(folders_.installedThumbnailPath(), "png"));
    }
    template <typename Error, typename Task>
    std::optional<Error> failureOf(Task task)
    {
        try {
            waitForTask(std::move(task));
        } catch (const Error& error) {
            return error;
        }
        ADD_FAILURE() << "no error of the expected type";
        return std::nullopt;
    }

    static inline const QByteArray kEarlierMovie = "the earlier movie";
    static inline QTemporaryDir* clips_ = nullptr;
    VideoConversionService service_{folders_};
};

TEST_F(VideoConversionServiceTest, ConvertsByCopyingTheStreamsAndReplacesAnEarlierMovie)
{
    LogCapture log;
    const QUrl movie = waitForTask(service_.convertToMOV(clipUrl(u"master.mp4"), kKey));
    EXPECT_EQ(movie, QUrl::fromLocalFile(VideoConversionService::convertedMoviePath(kKey)));
    EXPECT_TRUE(service_.hasConvertedVideo(kKey));
    const MediaInfo info = MediaTools::shared().probe(movie.toLocalFile());
    EXPECT_EQ(info.codecName, QStringLiteral("h264")) << "copied, not re-encoded";
    EXPECT_EQ(info.naturalSize, QSize(320, 180));
    EXPECT_TRUE(log.contains(QStringLiteral("🔄 [VideoConversionService] Starting conversion: master.mp4 -> %1.mov").arg(kKey)));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [VideoConversionService] Conversion complete: ") + movie.toLocalFile()));

    // A second conversion replaces it; a failed one keeps it.
    waitForTask(service_.convertToMOV(clipUrl(u"master.mp4"), kKey));
    const QByteArray converted = readFile(movie.toLocalFile());
    const auto failure = failureOf<ConversionError>(service_.convertToMOV(clipUrl(u"sound.m4a"), kKey));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->localizedDescription(), QStringLiteral("Video file has no video tracks"));
    EXPECT_EQ(readFile(movie.toLocalFile()), converted);
    EXPECT_EQ(QDir(VideoConversionService::conversionsFolder()).entryList(QDir::Files), QStringList{QStringLiteral("%1.mov").arg(kKey)});
    EXPECT_TRUE(log.contains(QStringLiteral("❌ [VideoConversionService] Conversion of %1 failed: Video file has no video tracks").arg(kKey)));
}

TEST_F(VideoConversionServiceTest, InstallsThePictureAsPngAndKeepsTheOldOneWhenTheReplyIsNoPicture)
{
    LogCapture log;
    waitForTask(service_.copyThumbnailToAerials(thumbnailUrl(kKey)));
    QImageReader reader(folders_.installedThumbnailPath());
    EXPECT_EQ(reader.format(), QByteArray("png"));
    EXPECT_FALSE(reader.read().isNull());
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [VideoConversionService] Downloaded, converted, and copied thumbnail (WebP→PNG) to "
                                            "Apple wallpaper thumbnails directory: ")
        + folders_.installedThumbnailPath()));

    const QByteArray installed = installedThumbnail();
    catalogue_.server().setFault(QStringLiteral("/wallpaper/%1/thumbnail.webp").arg(kOtherKey), Fault{0, 0, false, true, -1});
    for (const QUrl& url : {thumbnailUrl(999), thumbnailUrl(kOtherKey)}) {
        SCOPED_TRACE(url.toString().toStdString());
        const auto failure = failureOf<ConversionError>(service_.copyThumbnailToAerials(url));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->localizedDescription(), QStringLiteral("Video conversion failed: Failed to load WebP image"));
        EXPECT_EQ(installedThumbnail(), installed);
    }
}

TEST_F(VideoConversionServiceTest, AThumbnailWithoutEndFailsClearlyAndKeepsTheInstalledOne)
{
    waitForTask(service_.copyThumbnailToAerials(thumbnailUrl(kKey)));
    const QByteArray installed = installedThumbnail();
    catalogue_.server().setFault(QStringLiteral("/wallpaper/%1/thumbnail.webp").arg(kOtherKey), Fault{.endless = true});
    const auto failure = failureOf<HttpError>(service_.copyThumbnailToAerials(thumbnailUrl(kOtherKey)));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->localizedDescription(), QStringLiteral("The reply is longer than the 32 MiB allowed."));
    EXPECT_EQ(installedThumbnail(), installed);
    EXPECT_TRUE(catalogue_.endlessRepliesCutOff());
}

TEST_F(VideoConversionServiceTest, InstallingAMovieThatWasNeverConvertedFails)
{
    LogCapture log;
    const auto failure = failureOf<ConversionError>(service_.copyMOVToAerials(kKey));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->localizedDescription(), QStringLiteral("Video conversion failed: MOV file not found for key: %1").arg(kKey));
    service_.removeConvertedVideo(kKey);
    EXPECT_FALSE(log.contains(QStringLiteral("Removed")));
}

TEST_F(VideoConversionServiceTest, InstallsTheCataloguesWallpaperAndRestartsTheExtension)
{
    const QString master = temp_.file(QStringLiteral("master.mp4"));
    const QUrl masterUrl(catalogue_.server().baseUrl() + QStringLiteral("/wallpaper/%1/master.mp4").arg(kKey));
    ASSERT_TRUE(waitForTask(Http::shared().download(QNetworkRequest(masterUrl), master, DownloadDurability::Cache)).isSuccess());
    QProcess& running = extension_.start();
    QList<double> progress;
    LogCapture log;
    waitForTask(service_.installLockScreenWallpaper(QUrl::fromLocalFile(master), kKey, thumbnailUrl(kKey),
        [&progress](double fraction) { progress.append(fraction); }));
    EXPECT_EQ(progress, (QList<double>{0.1, 0.25, 0.35, 0.5, 0.6, 0.75, 0.85, 0.9, 0.95, 1.0}));
    EXPECT_TRUE(MediaTools::shared().probe(folders_.installedMoviePath()).hasVideoTrack);
    EXPECT_FALSE(QImage(folders_.installedThumbnailPath()).isNull());
    EXPECT_TRUE(DummyExtension::ended(running));
    EXPECT_FALSE(service_.hasConvertedVideo(kKey));
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ [VideoConversionService] Removed %1.mov").arg(kKey)));
    EXPECT_TRUE(QFile::exists(manifestPath())) << "the stand-in is seeded on first use";
}

// A crash between any two file steps leaves the earlier wallpaper or the new one, each whole.
TEST_F(VideoConversionServiceTest, StoppingAfterAnyFileStepLeavesAWholeWallpaper)
{
    int steps = 0;
    service_.setStepHook([&steps](const QString&) { ++steps; });
    waitForTask(service_.installLockScreenWallpaper(clipUrl(u"master.mp4"), kKey, thumbnailUrl(kKey)));
    const QByteArray newMovie = installedMovie();
    const QByteArray newThumbnail = installedThumbnail();
    ASSERT_EQ(steps, 7);

    for (int stop = 1; stop <= steps; ++stop) {
        SCOPED_TRACE(stop);
        service_.removeConvertedVideo(kKey);
        installEarlierWallpaper();
        const QByteArray earlierThumbnail = installedThumbnail();
        service_.setStepHook([step = std::make_shared<int>(0), stop](const QString& name) {
            if (++*step == stop)
                throw std::runtime_error(name.toStdString());
        });
        EXPECT_THROW(waitForTask(service_.installLockScreenWallpaper(clipUrl(u"master.mp4"), kKey, thumbnailUrl(kKey))),
            std::runtime_error);
        // The movie and the thumbnail always belong together.
        const bool earlierPair = installedMovie() == kEarlierMovie && installedThumbnail() == earlierThumbnail;
        const bool newPair = installedMovie() == newMovie && installedThumbnail() == newThumbnail;
        EXPECT_TRUE(earlierPair || newPair);
        for (const QString& folder : {folders_.videosFolder(), folders_.thumbnailsFolder()})
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1) << "only the installed file stays";
        EXPECT_TRUE(!service_.hasConvertedVideo(kKey) || readFile(VideoConversionService::convertedMoviePath(kKey)) == newMovie);
    }
}

// What a crash mid-install leaves beside the installed files goes at the next launch.
TEST_F(VideoConversionServiceTest, UnfinishedFilesAreSweptAndInstalledOnesKept)
{
    installEarlierWallpaper();
    const QString manifestFolder = QFileInfo(manifestPath()).path();
    QDir().mkpath(manifestFolder);
    const QStringList unfinished{folders_.installedMoviePath() + QStringLiteral(".part"),
        folders_.installedThumbnailPath() + QStringLiteral(".previous.part"), manifestFolder + QStringLiteral("/entries.json.part")};
    for (const QString& path : unfinished) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    LogCapture log;
    folders_.removeUnfinishedFiles();
    for (const QString& path : unfinished)
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(installedMovie(), kEarlierMovie);
    EXPECT_FALSE(QImage(folders_.installedThumbnailPath()).isNull());
    EXPECT_EQ(log.lines().filter(QStringLiteral("🗑️ [AerialsFolders] Removed an unfinished file: ")).size(), 3);
}

TEST_F(VideoConversionServiceTest, InstallsTakeTurnsInTheOrderTheyCame)
{
    QStringList order;
    auto first = service_.installLockScreenWallpaper(clipUrl(u"master.mp4"), kKey, thumbnailUrl(kKey),
        [&order](double fraction) { order.append(QStringLiteral("first %1").arg(fraction)); });
    auto second = service_.installLockScreenWallpaper(clipUrl(u"master.mp4"), kOtherKey, thumbnailUrl(kOtherKey),
        [&order](double fraction) { order.append(QStringLiteral("second %1").arg(fraction)); });
    waitForTask(std::move(first));
    waitForTask(std::move(second));
    ASSERT_EQ(order.size(), 20);
    EXPECT_EQ(order.at(9), QStringLiteral("first 1"));
    EXPECT_EQ(order.at(10), QStringLiteral("second 0.1"));
    EXPECT_TRUE(QImageReader(folders_.installedThumbnailPath()).canRead());
}

} // namespace
