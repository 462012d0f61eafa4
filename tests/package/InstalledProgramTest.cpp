#include "ProgramFixture.h"
#include "UnpackedPackage.h"

#include "app/ShellDefaults.h"
#include "foundation/ApplicationId.h"
#include "platform/DesktopEntry.h"
#include "platform/UrlSchemeRegistration.h"
#include "platform/XdgAutostartLoginItem.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"

#include <QFileInfo>
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
        auto defaults = savedDefaults();
        defaults->setBool(ShellDefaults::hasLaunchedBefore, true);
        defaults->setBool(ShellDefaults::onboardingSheetCompleted, true);
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

    // The whole display, kept beside the test program for a reviewer and for the metadata.
    QImage screen(const QString& name) const
    {
        const QTemporaryDir shots;
        const QString file = shots.filePath(QStringLiteral("screen.png"));
        onDisplay(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
        const QImage picture(file);
        keepReviewPicture(picture, QStringLiteral("package-screenshots"), name);
        return picture;
    }

    UnpackedPackage package;
    QString program;
};

TEST_F(InstalledProgramTest, StartsFromItsPrefixShowsHomeAndOpensLinksThroughItsLauncherEntry)
{
    ProgramRun run(program, installedEnvironment());
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded"))) << run.output().toStdString();
    waitForLaunch(run);
    // The bundled wallpaper was found in the package's share/quorvelle.
    EXPECT_FALSE(run.hasLine(QStringLiteral("wallpaper.mp4"))) << run.output().toStdString();

    // The window names the launcher entry, and its class is the one the entry gives.
    const ToolRun windows = onDisplay(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("^Quorvelle$")});
    ASSERT_EQ(windows.exitCode, 0) << windows.output.toStdString();
    bool named = false;
    for (const QString& window : windows.output.split(u'\n', Qt::SkipEmptyParts)) {
        const ToolRun properties = onDisplay(QStringLiteral("xprop"), {QStringLiteral("-id"), window.trimmed(), QStringLiteral("_KDE_NET_WM_DESKTOP_FILE")});
        named = named || properties.output.contains(u'"' + ApplicationId::id() + u'"');
    }
    EXPECT_TRUE(named) << "no window names " << ApplicationId::id().toStdString();
    QFile entryFile(package.file(QStringLiteral("usr/share/applications/") + ApplicationId::desktopFileName()));
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const DesktopEntry entry(QString::fromUtf8(entryFile.readAll()));
    EXPECT_EQ(entry.value(QStringLiteral("StartupWMClass")), QStringLiteral("Quorvelle"));

    // Installed with its entry, it writes none of its own; start at login points at it.
    EXPECT_FALSE(QFileInfo::exists(UrlSchemeRegistration::desktopFilePath()));
    QFile autostart(XdgAutostartLoginItem::defaultEntryPath());
    ASSERT_TRUE(autostart.open(QIODevice::ReadOnly)) << "start at login is on at the first launch";
    EXPECT_EQ(DesktopEntry(QString::fromUtf8(autostart.readAll())).program(), QFileInfo(program).canonicalFilePath());

    // What the package's post-installation trigger does, then a link as a browser hands it on.
    ASSERT_EQ(onDisplay(QStringLiteral("update-desktop-database"), {package.file(QStringLiteral("usr/share/applications"))}).exitCode, 0);
    const ToolRun handler = onDisplay(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), UrlSchemeRegistration::kMimeType});
    EXPECT_EQ(handler.output.trimmed(), ApplicationId::desktopFileName());
    const ToolRun open = onDisplay(QStringLiteral("xdg-open"), {QStringLiteral("quorvelle://gravelnook/501")});
    EXPECT_EQ(open.exitCode, 0) << open.output.toStdString();
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [WallpaperDeepLinkHandler] Opened Gravelnook 501 from link"))) << run.output().toStdString();

    EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();
}

// The picture of Home the software-centre metadata shows (packaging/screenshots).
TEST_F(InstalledProgramTest, PicturesHomeForTheSoftwareCentre)
{
    ProgramRun run(program, installedEnvironment());
    ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded"))) << run.output().toStdString();
    waitForLaunch(run);
    QTest::qWait(1500); // posters and the hero's first frame, for the picture only
    const QImage home = screen(QStringLiteral("home"));
    EXPECT_EQ(home.size(), QSize(1280, 800));
    EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();
}

} // namespace
