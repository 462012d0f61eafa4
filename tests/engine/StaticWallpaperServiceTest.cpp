#include "engine/StaticWallpaperError.h"
#include "engine/StaticWallpaperService.h"
#include "EngineTestClips.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopPicture.h"
#include "platform/Screens.h"
#include "support/FakeDesktopPicture.h"
#include "support/FakeScreens.h"
#include "support/FileBytes.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using Kind = StaticWallpaperError::Kind;

// The error a task throws; the test fails when it throws none or another type.
template <typename Task>
std::optional<StaticWallpaperError> errorOf(Task task)
{
    try {
        waitForTask(std::move(task));
    } catch (const StaticWallpaperError& error) {
        return error;
    }
    ADD_FAILURE() << "no StaticWallpaperError was thrown";
    return std::nullopt;
}

// Mean absolute difference per channel, 0 to 255, of two pictures of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 255;
    qint64 total = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            total += std::abs(qRed(p[column]) - qRed(q[column])) + std::abs(qGreen(p[column]) - qGreen(q[column]))
                + std::abs(qBlue(p[column]) - qBlue(q[column]));
        }
    }
    return double(total) / (3.0 * x.width() * x.height());
}

class StaticWallpaperServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { clips_ = new QTemporaryDir; }
    static void TearDownTestSuite()
    {
        delete clips_;
        clips_ = nullptr;
    }

    // The clips, drawn on first use (each test process needs only its own): clip.mp4, 640x360,
    // 3 s of a moving pattern, so neighbouring frames differ; short.mp4, 1 s, its top half
    // turning yellow for the last frames; rotated.mp4, clip.mp4 with a quarter turn; huge.mp4,
    // 7680x4320 at 2 fps; audio.m4a, no picture at all; at2.png and at1.9.png, the ffmpeg
    // tool's own exact frames of clip.mp4 at 2 s and 1.9 s.
    static QString clip(QStringView name)
    {
        const QString path = clips_->filePath(name.toString());
        if (QFile::exists(path))
            return path;
        using EngineTestClips::ffmpeg;
        using EngineTestClips::makeClip;
        const auto frameOf = [](const QString& seconds, const QString& output) {
            return ffmpeg({QStringLiteral("-ss"), seconds, QStringLiteral("-i"), clip(u"clip.mp4"), QStringLiteral("-frames:v"),
                QStringLiteral("1"), output});
        };
        if (name == u"clip.mp4")
            makeClip(path, QStringLiteral("640x360"), 3);
        else if (name == u"short.mp4")
            makeClip(path, QStringLiteral("320x180"), 1,
                {QStringLiteral("-vf"), QStringLiteral("drawbox=x=0:y=0:w=iw:h=ih/2:color=yellow:t=fill:enable='gte(t,0.8)'")});
        else if (name == u"rotated.mp4")
            ffmpeg({QStringLiteral("-i"), clip(u"clip.mp4"), QStringLiteral("-c"), QStringLiteral("copy"),
                QStringLiteral("-metadata:s:v:0"), QStringLiteral("rotate=90"), path});
        else if (name == u"huge.mp4")
            makeClip(path, QStringLiteral("7680x4320"), 3, {QStringLiteral("-r"), QStringLiteral("2")});
        else if (name == u"audio.m4a")
            ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=3"),
                QStringLiteral("-c:a"), QStringLiteral("aac"), path});
        else if (name == u"at2.png")
            frameOf(QStringLiteral("2"), path);
        else if (name == u"at1.9.png")
            frameOf(QStringLiteral("1.9"), path);
        return path;
    }

    // A copy of a clip where the application keeps master videos, named by a key.
    QUrl masterVideo(QStringView clipName, const QString& fileName)
    {
        const QString folder = Paths::appCaches() + QStringLiteral("/Wallpapers");
        QDir().mkpath(folder);
        const QString path = folder + QLatin1Char('/') + fileName;
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(clip(clipName), path));
        return QUrl::fromLocalFile(path);
    }

    QImage extracted(const QUrl& video) { return QImage(waitForTask(service_.extractFrameImage(video)).toLocalFile()); }

    static inline QTemporaryDir* clips_ = nullptr;
    TempFolder temp_;
    FakeScreens screens_{{FakeScreens::display(QStringLiteral("Left"), QRect(0, 0, 1920, 1080)),
        FakeScreens::display(QStringLiteral("Right"), QRect(1920, 0, 2560, 1440))}};
    Shared<Screens>::Override screensGuard_{screens_};
    FakeDesktopPicture desktop_;
    Shared<DesktopPicture>::Override desktopGuard_{desktop_};
    UserDefaults loginWindow_{StaticWallpaperService::kLoginWindowDomain, UserDefaults::Storage::InMemory};
    StaticWallpaperService service_{loginWindow_};
};

TEST_F(StaticWallpaperServiceTest, TheStillIsTheVideosExactFrameAtTwoSeconds)
{
    const QImage still = extracted(masterVideo(u"clip.mp4", QStringLiteral("1234.mp4")));
    const QImage reference(clip(u"at2.png"));
    ASSERT_EQ(still.size(), QSize(640, 360));
    // JPEG at quality 90 stays close to the frame, and clearly apart from a frame 0.1 s earlier.
    EXPECT_LT(meanDifference(still, reference), 4.0);
    EXPECT_GT(meanDifference(still, QImage(clip(u"at1.9.png"))), 2 * meanDifference(still, reference));
}

TEST_F(StaticWallpaperServiceTest, ThePictureIsNamedAfterTheVideoAndReplacedWhole)
{
    const QUrl video = masterVideo(u"clip.mp4", QStringLiteral("1234.mp4"));
    const QUrl image = waitForTask(service_.extractFrameImage(video));
    // In the user's own caches, in a folder only they can enter: never a fixed shared one.
    EXPECT_EQ(image.toLocalFile(), Paths::appCaches() + QStringLiteral("/StaticWallpaper/1234_static.jpg"));
    EXPECT_EQ(QFileInfo(StaticWallpaperService::folderPath()).permissions() & (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther),
        QFile::Permissions());
    // What a reader of the old picture holds: the new picture must take the name, not the bytes.
    const QString held = Paths::temporary() + QStringLiteral("/held.jpg");
    ASSERT_EQ(::link(QFile::encodeName(image.toLocalFile()).constData(), QFile::encodeName(held).constData()), 0);

    masterVideo(u"short.mp4", QStringLiteral("1234.mp4"));
    EXPECT_EQ(waitForTask(service_.extractFrameImage(video)), image);
    EXPECT_EQ(QImage(image.toLocalFile()).size(), QSize(320, 180));
    EXPECT_EQ(QImage(held).size(), QSize(640, 360));
    // Only the picture itself: no temporary file is left beside it.
    EXPECT_EQ(QDir(StaticWallpaperService::folderPath()).entryList(QDir::Files | QDir::Hidden),
        QStringList{QStringLiteral("1234_static.jpg")});
}

// A symbolic link planted at the picture's path or in place of its folder points wherever its
// maker chose: it is replaced, and nothing is written or given other rights through it.
TEST_F(StaticWallpaperServiceTest, APlantedLinkIsReplacedNeverFollowed)
{
    const QUrl video = masterVideo(u"clip.mp4", QStringLiteral("1234.mp4"));
    const QString folder = StaticWallpaperService::folderPath();
    const QString picture = folder + QStringLiteral("/1234_static.jpg");
    const QString victim = Paths::temporary() + QStringLiteral("/victim");
    struct Case {
        const char* name;
        // Plants the link; the victim folder holds "file".
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"at the picture", [&] {
             QDir().mkpath(folder);
             ASSERT_EQ(::symlink(QFile::encodeName(victim + QStringLiteral("/file")).constData(), QFile::encodeName(picture).constData()), 0);
         }},
        {"in place of the folder", [&] {
             ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(folder).constData()), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        QDir(victim).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(victim));
        ASSERT_TRUE(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QFile file(victim + QStringLiteral("/file"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("theirs");
        file.close();
        c.plant();

        EXPECT_EQ(waitForTask(service_.extractFrameImage(video)).toLocalFile(), picture);
        EXPECT_FALSE(QFileInfo(folder).isSymLink());
        EXPECT_FALSE(QFileInfo(picture).isSymLink());
        EXPECT_EQ(QImage(picture).size(), QSize(640, 360));
        EXPECT_EQ(readFile(victim + QStringLiteral("/file")), QByteArray("theirs"));
        EXPECT_EQ(QDir(victim).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("file")});
        EXPECT_TRUE(QFileInfo(victim).permissions() & QFile::ReadOther) << "the link's target kept its rights";
    }
}

TEST_F(StaticWallpaperServiceTest, AVideoShorterThanTwoSecondsGivesItsLastFrame)
{
    const QImage still = extracted(masterVideo(u"short.mp4", QStringLiteral("5.mp4")));
    ASSERT_FALSE(still.isNull());
    const QColor top = still.pixelColor(160, 20);
    EXPECT_GT(top.red(), 200);
    EXPECT_GT(top.green(), 200);
    EXPECT_LT(top.blue(), 60);
}

TEST_F(StaticWallpaperServiceTest, ThePictureIsUprightAndFitsWithin3840By2160)
{
    struct Case {
        QStringView clipName;
        QSize expected;
    };
    for (const Case& c : {Case{u"rotated.mp4", QSize(360, 640)}, Case{u"huge.mp4", QSize(3840, 2160)}}) {
        SCOPED_TRACE(c.clipName.toString().toStdString());
        EXPECT_EQ(extracted(QUrl::fromLocalFile(clip(c.clipName))).size(), c.expected);
    }
}

TEST_F(StaticWallpaperServiceTest, FilesThatGiveNoFrameFailWithTheirOwnError)
{
    const QString missing = temp_.file(QStringLiteral("gone.mp4"));
    const auto notFound = errorOf(service_.extractFrameImage(QUrl::fromLocalFile(missing)));
    ASSERT_TRUE(notFound);
    EXPECT_EQ(notFound->kind(), Kind::videoFileNotFound);
    EXPECT_EQ(notFound->localizedDescription(), QStringLiteral("Video file not found at path: ") + missing);

    for (const QString& path : {TestPaths::dataFile(QStringLiteral("not-a-video.mp4")), clip(u"audio.m4a")}) {
        SCOPED_TRACE(qPrintable(path));
        const auto failure = errorOf(service_.extractFrameImage(QUrl::fromLocalFile(path)));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), Kind::frameExtractionFailed);
    }
    EXPECT_TRUE(QDir(StaticWallpaperService::folderPath()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(StaticWallpaperServiceTest, EveryScreenAndTheLoginWindowGetThePicture)
{
    waitForTask(service_.setStaticWallpaper(masterVideo(u"clip.mp4", QStringLiteral("42.mp4"))));
    const QString image = Paths::appCaches() + QStringLiteral("/StaticWallpaper/42_static.jpg");
    ASSERT_EQ(desktop_.calls().size(), 2);
    EXPECT_EQ(desktop_.calls()[0].screenName, QStringLiteral("Left"));
    EXPECT_EQ(desktop_.calls()[1].screenName, QStringLiteral("Right"));
    EXPECT_EQ(desktop_.calls()[1].imagePath, image);
    EXPECT_EQ(loginWindow_.string(StaticWallpaperService::kLoginWindowPictureKey), image);
}

// The stand-in's store is named for what it holds here; the picture an earlier version recorded
// under the first platform's domain name is still the login window's.
TEST_F(StaticWallpaperServiceTest, TheLoginWindowPictureOfAnEarlierVersionIsKept)
{
    const QString picture = QStringLiteral("/home/user/.cache/Quorvelle/StaticWallpaper/1234_static.jpg");
    UserDefaults(StaticWallpaperService::kFormerLoginWindowDomain).setString(StaticWallpaperService::kLoginWindowPictureKey, picture);
    StaticWallpaperService onDisk;
    EXPECT_EQ(onDisk.loginWindowDefaults().string(StaticWallpaperService::kLoginWindowPictureKey), picture);
    EXPECT_EQ(QFileInfo(onDisk.loginWindowDefaults().filePath()).fileName(), QStringLiteral("login-window-picture.sqlite3"));
    EXPECT_TRUE(QFile::exists(UserDefaults::databasePathOf(StaticWallpaperService::kFormerLoginWindowDomain) + QStringLiteral(".imported")));
}

TEST_F(StaticWallpaperServiceTest, ADisplaysRefusalIsReportedAndNothingMoreIsSet)
{
    desktop_.refuse(QStringLiteral("Left"));

    const auto failure = errorOf(service_.setStaticWallpaper(masterVideo(u"clip.mp4", QStringLiteral("42.mp4"))));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::wallpaperSettingFailed);
    EXPECT_TRUE(failure->localizedDescription().startsWith(QStringLiteral("Failed to set wallpaper: ")));
    EXPECT_EQ(desktop_.calls().size(), 1); // the first refusal ends the loop
    EXPECT_FALSE(loginWindow_.contains(StaticWallpaperService::kLoginWindowPictureKey));
}

} // namespace
