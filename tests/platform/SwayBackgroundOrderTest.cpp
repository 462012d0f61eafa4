#include "platform/SwayBackgroundOrder.h"

#include "platform/VideoFrameBuffer.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandDesktopBackground.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "support/HeadlessSway.h"
#include "support/ImageCompare.h"
#include "support/ReviewPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

// sway's background is started again with the arguments swaybg runs with, as the `output … bg …`
// command that sway turns into them: a named output's own group, which changes nothing said
// again, or the wildcard's where it is the only one (sway copies it into every output's settings,
// over their own). Arguments sway never gives, or a word that would end the command early, start
// nothing.
struct RestartRow {
    const char* name;
    QStringList arguments;
    std::optional<QString> command;
};

class SwayBackgroundRestartTest : public ::testing::TestWithParam<RestartRow> {};

TEST_P(SwayBackgroundRestartTest, RepeatsTheFirstOutputsBackground)
{
    const RestartRow& row = GetParam();
    EXPECT_EQ(SwayBackgroundOrder::restartCommand(row.arguments), row.command);
}

const QString kPicture = QStringLiteral("/usr/share/backgrounds/sway/Sway_Wallpaper_Blue_1920x1080.png");

INSTANTIATE_TEST_SUITE_P(Rows, SwayBackgroundRestartTest,
    ::testing::Values(
        RestartRow{"StockConfiguration", {"-o", "*", "-i", kPicture, "-m", "fill"}, "output \"*\" bg \"" + kPicture + "\" fill"},
        RestartRow{"PictureWithFallback", {"-o", "DP-1", "-i", "/home/a b/c.jpg", "-m", "fit", "-c", "#000000"},
                   QStringLiteral("output \"DP-1\" bg \"/home/a b/c.jpg\" fit #000000")},
        RestartRow{"SolidColour", {"-o", "HDMI-A-1", "-c", "#112233"}, QStringLiteral("output \"HDMI-A-1\" bg #112233 solid_color")},
        RestartRow{"FirstOfSeveralOutputs", {"-o", "DP-1", "-c", "#112233", "-o", "DP-2", "-i", kPicture, "-m", "fill"},
                   QStringLiteral("output \"DP-1\" bg #112233 solid_color")},
        RestartRow{"OutputsOwnAfterTheWildcard", {"-o", "*", "-i", kPicture, "-m", "fill", "-o", "DP-2", "-i", "/home/a/own.png", "-m", "fit"},
                   QStringLiteral("output \"DP-2\" bg \"/home/a/own.png\" fit")},
        RestartRow{"OutputsOwnBeforeTheWildcard", {"-o", "DP-2", "-i", "/home/a/own.png", "-m", "fit", "-o", "*", "-i", kPicture, "-m", "fill"},
                   QStringLiteral("output \"DP-2\" bg \"/home/a/own.png\" fit")},
        RestartRow{"ModeThatEndsTheCommand", {"-o", "*", "-i", kPicture, "-m", "fill; exit"}, std::nullopt},
        RestartRow{"ColourThatIsNoColour", {"-o", "*", "-c", "red; exit"}, std::nullopt},
        RestartRow{"OneBadGroupOfTwo", {"-o", "DP-1", "-c", "#112233", "-o", "DP-2", "-i", kPicture}, std::nullopt},
        RestartRow{"OptionWithoutValue", {"-o", "*", "-c"}, std::nullopt},
        RestartRow{"QuoteInThePath", {"-o", "*", "-i", "/tmp/a\"b.png", "-m", "fill"}, std::nullopt},
        RestartRow{"OptionSwayNeverGives", {"-o", "*", "--image", kPicture}, std::nullopt},
        RestartRow{"PictureWithoutMode", {"-o", "*", "-i", kPicture}, std::nullopt},
        RestartRow{"NoOutput", {"-c", "#112233"}, std::nullopt},
        RestartRow{"Nothing", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<RestartRow>& row) { return std::string(row.param.name); });

constexpr int kWaitMs = 20'000;
// Far below a picture of another colour or pattern.
constexpr double kSamePicture = 12.0;
const QStringList kOutputs{QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")};
const QColor kRed(0xd0, 0x20, 0x20);

// What each output shows, and an output yet to come, by the arguments sway gave swaybg: the
// options of the output's own group, else the wildcard's.
QMap<QString, QStringList> shownBackgrounds(const QStringList& arguments)
{
    QMap<QString, QStringList> groups;
    QString output;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("-o"))
            output = arguments[i + 1];
        else
            groups[output] << arguments[i] << arguments[i + 1];
    }
    QMap<QString, QStringList> shown;
    for (const QString& name : {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2"), QStringLiteral("*")})
        shown.insert(name, groups.value(name, groups.value(QStringLiteral("*"))));
    return shown;
}

// The swaybg processes of the compositor at SWAYSOCK, those sway started and those started apart.
struct Backgrounds {
    QList<QStringList> bySway;
    QList<qint64> apart;
};

Backgrounds backgroundsOfThisSway()
{
    Backgrounds found;
    const QByteArray session = "SWAYSOCK=" + qgetenv("SWAYSOCK");
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll() != "swaybg\n" || !environ.open(QIODevice::ReadOnly)
            || !cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> environment = environ.readAll().split('\0');
        if (!environment.contains(session))
            continue;
        QStringList arguments;
        for (const QByteArray& argument : cmdline.readAll().split('\0'))
            arguments << QString::fromLocal8Bit(argument);
        if (std::any_of(environment.cbegin(), environment.cend(), [](const QByteArray& entry) { return entry.startsWith("WAYLAND_SOCKET="); }))
            found.bySway << arguments;
        else
            found.apart << pid.toLongLong();
    }
    return found;
}

QImage solidPicture(QColor colour)
{
    QImage picture(QSize(64, 36), QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// A compositor of the test's own, which this process's swaymsg and grim reach.
class SwaySession {
public:
    explicit SwaySession(const HeadlessSway::Configuration& configuration = {}) : sway_(configuration)
    {
        if (!sway_.isRunning())
            return;
        const QProcessEnvironment environment = sway_.environment();
        for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
            qputenv(name, environment.value(QLatin1String(name)).toUtf8());
    }
    ~SwaySession()
    {
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("SWAYSOCK");
    }

    const HeadlessSway& sway() const { return sway_; }

    // The program's connection, as it makes it at launch: with SWAYSOCK, or with none set.
    static std::unique_ptr<WaylandConnection> connect(bool withSwaySocket)
    {
        const QByteArray socket = qgetenv("SWAYSOCK");
        if (!withSwaySocket)
            qunsetenv("SWAYSOCK");
        std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect(qEnvironmentVariable("WAYLAND_DISPLAY"));
        qputenv("SWAYSOCK", socket);
        return connection;
    }

private:
    HeadlessSway sway_;
};

// Presents a red frame on every try until the output shows it: once it does, nothing covers it.
bool showsRed(WaylandDesktopBackground& background, const QString& output, int timeoutMs = kWaitMs)
{
    std::shared_ptr<VideoFrameBuffer> frame = VideoFrameBuffer::create(QSize(640, 360));
    frame->image(1.0).fill(kRed);
    return QTest::qWaitFor([&] {
        background.present(frame, QPoint());
        return meanChannelDifference(HeadlessSway::grab(output), solidPicture(kRed)) < kSamePicture;
    }, timeoutMs);
}

// Every background the user configured stays as it was while the video plays on one display,
// and after the program is gone: sway's stock `output * bg` line, backgrounds of each output's
// own, and both, where the stock one is copied into every output's settings before the user's
// own replaces it. The desktop video goes above them all on the output it plays on.
struct UserBackgroundRow {
    const char* name;
    bool stockBackground;
    // "%1" stands for a picture of the user's.
    QStringList lines;
};

class SwayUserBackgroundTest : public ::testing::TestWithParam<UserBackgroundRow> {};

TEST_P(SwayUserBackgroundTest, StaysAsTheUserSetItDuringAndAfter)
{
    const UserBackgroundRow& row = GetParam();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // sway runs as another user when the tests run as root: the picture is theirs to read.
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                             | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    const QString picture = folder.filePath(QStringLiteral("own.png"));
    ASSERT_TRUE(solidPicture(QColor(0xff, 0x80, 0x00)).save(picture));
    QFile::setPermissions(picture, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    QStringList lines;
    for (const QString& line : row.lines)
        lines << QString(line).replace(QStringLiteral("%1"), picture);
    SwaySession session({lines, row.stockBackground});
    if (!session.sway().isRunning())
        GTEST_SKIP() << session.sway().failure().toStdString();

    QList<QStringList> configured;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (configured = backgroundsOfThisSway().bySway).size() == 1; }, kWaitMs));
    QHash<QString, QImage> before;
    for (const QString& output : kOutputs)
        before.insert(output, HeadlessSway::grab(output));
    const auto showsAsBefore = [&](const QString& output) {
        return QTest::qWaitFor([&] { return meanChannelDifference(HeadlessSway::grab(output), before.value(output)) < kSamePicture; }, kWaitMs);
    };
    const auto runsAsConfigured = [&] {
        return QTest::qWaitFor([&] {
            const QList<QStringList> running = backgroundsOfThisSway().bySway;
            return running.size() == 1 && shownBackgrounds(running.first()) == shownBackgrounds(configured.first());
        }, kWaitMs);
    };

    {
        std::unique_ptr<WaylandConnection> connection = SwaySession::connect(true);
        ASSERT_TRUE(connection);
        WaylandDesktopBackground video(*connection);
        video.setOutputName(QStringLiteral("HEADLESS-1"));
        video.setShown(true);
        EXPECT_TRUE(showsRed(video, QStringLiteral("HEADLESS-1"))) << "the user's background covers the video";
        EXPECT_TRUE(showsAsBefore(QStringLiteral("HEADLESS-2"))) << "the other display lost the user's background";
        for (const QString& output : kOutputs)
            keepReviewPicture(HeadlessSway::grab(output), QStringLiteral("wayland-screenshots"),
                              QStringLiteral("sway-user-background-%1-video-on-HEADLESS-1-%2").arg(QLatin1String(row.name), output));
        EXPECT_TRUE(runsAsConfigured()) << "sway's background runs with other settings than the user's";
        EXPECT_FALSE(connection->backgroundOrder().isCovered());
    }
    // The program is gone: the desktop is the user's as they left it.
    for (const QString& output : kOutputs)
        EXPECT_TRUE(showsAsBefore(output)) << output.toStdString() << " does not show the user's background after the quit";
    EXPECT_TRUE(runsAsConfigured());
}

INSTANTIATE_TEST_SUITE_P(Rows, SwayUserBackgroundTest,
    ::testing::Values(UserBackgroundRow{"WildcardOnly", true, {}},
        UserBackgroundRow{"PerOutputOnly", false, {"output HEADLESS-1 bg #2040d0 solid_color", "output HEADLESS-2 bg %1 fill"}},
        UserBackgroundRow{"WildcardAndPerOutput", true, {"output HEADLESS-2 bg %1 fill"}}),
    [](const ::testing::TestParamInfo<UserBackgroundRow>& row) { return std::string(row.param.name); });

// A swaybg the user started apart, before the video's surface, is drawn over it by sway 1.7 and
// cannot be restarted below it: the video counts as not seen (its player stops, as under a
// full-screen window) and the obstacle names the line to change, also for a program started
// without SWAYSOCK. Once that swaybg ends, the video is seen again.
class SwayCoveringBackgroundTest : public ::testing::TestWithParam<bool> {};

TEST_P(SwayCoveringBackgroundTest, CoversUntilItEnds)
{
    SwaySession session;
    if (!session.sway().isRunning())
        GTEST_SKIP() << session.sway().failure().toStdString();
    const QColor green(0x20, 0xc0, 0x40);
    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("exec"), QStringLiteral("swaybg -c '#20c040'")}));
    // sway 1.7 draws the newest background lowest: once sway's own is started again after the
    // other one's picture came, that picture is on top, as it is for a user who started it at login.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return HeadlessSway::swaymsg({QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                                     QStringLiteral("/usr/share/backgrounds/sway/Sway_Wallpaper_Blue_1920x1080.png"), QStringLiteral("fill")})
            && QTest::qWaitFor([&] { return meanChannelDifference(HeadlessSway::grab(QStringLiteral("HEADLESS-1")), solidPicture(green)) < kSamePicture; }, 1000);
    }, kWaitMs)) << "the other swaybg drew nothing";

    std::unique_ptr<WaylandConnection> connection = SwaySession::connect(GetParam());
    ASSERT_TRUE(connection);
    WaylandDesktopBackground video(*connection);
    video.setOutputName(QStringLiteral("HEADLESS-1"));
    video.setShown(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return connection->backgroundOrder().isCovered(); }, kWaitMs)) << "the covering picture went unseen";
    EXPECT_FALSE(video.isSeen());
    const std::optional<QString> obstacle = connection->backgroundOrder().obstacle();
    ASSERT_TRUE(obstacle);
    EXPECT_TRUE(obstacle->contains(QStringLiteral("exec swaybg"))) << obstacle->toStdString();
    keepReviewPicture(HeadlessSway::grab(QStringLiteral("HEADLESS-1")), QStringLiteral("wayland-screenshots"),
                      QStringLiteral("sway-exec-swaybg-covers-the-video"));

    for (const qint64 pid : backgroundsOfThisSway().apart)
        ::kill(pid_t(pid), SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return video.isSeen(); }, kWaitMs)) << "still counted as covered after the other swaybg ended";
    EXPECT_FALSE(connection->backgroundOrder().obstacle());
    EXPECT_TRUE(showsRed(video, QStringLiteral("HEADLESS-1")));
}

INSTANTIATE_TEST_SUITE_P(Sessions, SwayCoveringBackgroundTest, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool>& row) { return std::string(row.param ? "WithSwaySocket" : "WithoutSwaySocket"); });

} // namespace
