#include "ProgramFixture.h"
#include "UnpackedPackage.h"

#include "app/ShellDefaults.h"
#include "foundation/ApplicationId.h"
#include "platform/DesktopEntry.h"
#include "platform/UrlSchemeRegistration.h"
#include "platform/XdgAutostartLoginItem.h"
#include "support/ReviewPicture.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The program of the unpacked package, started from there on its own display against the sample
// catalogue, with the package's data folder as the only system one, as a desktop would see it
// installed.
class InstalledProgramTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        ASSERT_TRUE(package.failure().isEmpty()) << package.failure().toStdString();
        if (!display.isRunning())
            GTEST_FAIL() << "needs Xvfb (scripts/setup installs it)";
        program = package.file(QStringLiteral("usr/bin/quorvelle"));
    }

    // The test's environment for the program and for the desktop's tools alike.
    QProcessEnvironment installedEnvironment() const
    {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("PATH"), package.file(QStringLiteral("usr/bin")) + u':' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), package.file(QStringLiteral("usr/share")));
        // No known desktop: xdg-open takes its generic road through the desktop entries.
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("X-Generic"));
        for (const char* name : {"DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
            env.remove(QString::fromLatin1(name));
        return env;
    }

    ToolRun onDisplay(const QString& tool, const QStringList& arguments) const
    {
        return runTool(tool, arguments, installedEnvironment());
    }

    // The main window as the display shows it, kept beside the test program for a reviewer and
    // for the metadata.
    QImage windowPicture(const QString& name) const
    {
        const ToolRun windows = onDisplay(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"), QStringLiteral("^quorvelle$")});
        const QTemporaryDir shots;
        const QString file = shots.filePath(QStringLiteral("window.png"));
        onDisplay(QStringLiteral("import"), {QStringLiteral("-window"), windows.output.section(u'\n', 0, 0).trimmed(), file});
        const QImage picture(file);
        keepReviewPicture(picture, QStringLiteral("package-screenshots"), name);
        return picture;
    }

    UnpackedPackage package;
    QString program;
};

// A first launch: it also turns start at login on.
TEST_F(InstalledProgramTest, StartsFromItsPrefixShowsHomeAndOpensLinksThroughItsLauncherEntry)
{
    ProgramRun run(program, installedEnvironment());
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded"))) << run.output().toStdString();
    waitForLaunch(run);

    // The window's class is the one the launcher entry names, so docks group it under the entry.
    QFile entryFile(package.file(QStringLiteral("usr/share/applications/") + ApplicationId::desktopFileName()));
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const std::optional<QString> windowClass = DesktopEntry(QString::fromUtf8(entryFile.readAll())).value(QStringLiteral("StartupWMClass"));
    ASSERT_TRUE(windowClass.has_value());
    // Its windows are found by the instance half of their class, which Qt takes from the program's name.
    const ToolRun windows = onDisplay(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("^quorvelle$")});
    ASSERT_EQ(windows.exitCode, 0) << windows.output.toStdString();
    for (const QString& window : windows.output.split(u'\n', Qt::SkipEmptyParts)) {
        const ToolRun properties = onDisplay(QStringLiteral("xprop"), {QStringLiteral("-id"), window.trimmed(), QStringLiteral("WM_CLASS")});
        EXPECT_EQ(properties.output.trimmed(), QStringLiteral("WM_CLASS(STRING) = \"quorvelle\", \"") + *windowClass + u'"');
    }

    // Installed with its entry, it writes none of its own; start at login points at it.
    EXPECT_FALSE(QFileInfo::exists(UrlSchemeRegistration::desktopFilePath()));
    QFile autostart(XdgAutostartLoginItem::defaultEntryPath());
    ASSERT_TRUE(autostart.open(QIODevice::ReadOnly)) << run.output().toStdString();
    EXPECT_EQ(DesktopEntry(QString::fromUtf8(autostart.readAll())).program(), QFileInfo(program).canonicalFilePath());

    // What the package's post-installation trigger does. Seen with settings of their own, as by
    // a session that never ran the program, the entry alone makes the program the handler. A
    // link is then handed on as a browser of the running copy's session does: a launch with
    // other settings is another profile, whose copy would run beside this one.
    ASSERT_EQ(onDisplay(QStringLiteral("update-desktop-database"), {package.file(QStringLiteral("usr/share/applications"))}).exitCode, 0);
    const QTemporaryDir freshHome;
    QProcessEnvironment fresh = installedEnvironment();
    fresh.insert(QStringLiteral("XDG_CONFIG_HOME"), freshHome.filePath(QStringLiteral("config")));
    fresh.insert(QStringLiteral("XDG_DATA_HOME"), freshHome.filePath(QStringLiteral("data")));
    const ToolRun handler = runTool(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), UrlSchemeRegistration::kMimeType}, fresh);
    EXPECT_EQ(handler.output.trimmed(), ApplicationId::desktopFileName());
    const ToolRun open = onDisplay(QStringLiteral("xdg-open"), {QStringLiteral("quorvelle://gravelnook/501")});
    EXPECT_EQ(open.exitCode, 0) << open.output.toStdString();
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [WallpaperDeepLinkHandler] Opened Gravelnook 501 from link"))) << run.output().toStdString();

    EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();
}

// The pictures the software-centre metadata shows (packaging/screenshots): Home, then Explore.
TEST_F(InstalledProgramTest, PicturesHomeAndExploreForTheSoftwareCentre)
{
    {
        auto defaults = savedDefaults();
        defaults->setBool(ShellDefaults::hasLaunchedBefore, true);
        defaults->setBool(ShellDefaults::onboardingSheetCompleted, true);
    }
    ProgramRun run(program, installedEnvironment());
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded"))) << run.output().toStdString();
    waitForLaunch(run);
    QTest::qWait(1500); // posters and the hero's first frame, for the picture only
    QHash<QString, QSize> sizes{{QStringLiteral("home"), windowPicture(QStringLiteral("home")).size()}};

    // The window sits at the display's corner (no window manager); the tab bar's Explore.
    ASSERT_EQ(onDisplay(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("508"), QStringLiteral("25"),
                                                       QStringLiteral("click"), QStringLiteral("1")})
                  .exitCode,
        0);
    ASSERT_TRUE(run.waitForLine(QStringLiteral("===== loadExplorePage completed"))) << run.output().toStdString();
    QTest::qWait(1500); // posters, for the picture only
    sizes.insert(QStringLiteral("explore"), windowPicture(QStringLiteral("explore")).size());
    EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();

    // The metadata names each picture with its size.
    QFile metadata(package.file(QStringLiteral("usr/share/metainfo/") + ApplicationId::id() + QStringLiteral(".metainfo.xml")));
    ASSERT_TRUE(metadata.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(metadata.readAll());
    QHash<QString, QSize> listed;
    QRegularExpressionMatchIterator images
        = QRegularExpression(QStringLiteral("<image type=\"source\" width=\"(\\d+)\" height=\"(\\d+)\">[^<]*/(\\w+)\\.png<")).globalMatch(text);
    while (images.hasNext()) {
        const QRegularExpressionMatch image = images.next();
        listed.insert(image.captured(3), QSize(image.captured(1).toInt(), image.captured(2).toInt()));
    }
    EXPECT_EQ(listed, sizes);
}

} // namespace
