#include "InstalledProgramFixture.h"
#include "MetainfoScreenshots.h"

#include "app/ShellDefaults.h"
#include "foundation/ApplicationId.h"
#include "platform/DesktopEntry.h"
#include "platform/UrlSchemeRegistration.h"
#include "platform/XdgAutostartLoginItem.h"

#include "support/TestPaths.h"

#include <sample-catalogue/MediaStore.h>

#include <QFileInfo>
#include <QtConcurrent>
#include <QTest>

namespace {

using InstalledProgramTest = InstalledProgramFixture;

// A first launch: it also turns start at login on.
TEST_F(InstalledProgramTest, StartsFromItsPrefixShowsHomeAndOpensLinksThroughItsLauncherEntry)
{
    ProgramRun run(program, installedEnvironment());
    waitForHome(run);

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
    // Updates come through apt: the program never asked the update feed.
    EXPECT_EQ(catalogue.server().requestCount(catalogue.config().updateFeedUrl.path()), 0);
    EXPECT_FALSE(run.hasLine(QStringLiteral("[UpdateCheckService]"))) << run.output().toStdString();
}

// The pictures the software-centre metadata shows (packaging/screenshots): Home, then Explore,
// with wallpapers as people see them (a catalogue of colour fields, no captioned test patterns).
TEST_F(InstalledProgramTest, PicturesHomeAndExploreForTheSoftwareCentre)
{
    samplecatalogue::SampleCatalogue::Options options = SampleCatalogueFixture::testOptions();
    options.look = samplecatalogue::MediaRecipe::Look::Scenery;
    SampleCatalogueFixture scenery(options);
    ASSERT_TRUE(scenery.isRunning());
    // The cards' pictures are drawn before the program asks for them, so they are there when
    // the pictures are taken.
    const QList<samplecatalogue::MediaRecipe::Source> sources = scenery.server().catalogue().mediaSources();
    QtConcurrent::blockingMap(sources, [&](const samplecatalogue::MediaRecipe::Source& source) {
        for (const auto asset : {samplecatalogue::MediaRecipe::Asset::Poster, samplecatalogue::MediaRecipe::Asset::Thumbnail}) {
            QString error;
            EXPECT_FALSE(scenery.server().media().file(source, asset, &error).isEmpty()) << error.toStdString();
        }
    });
    {
        auto defaults = savedDefaults();
        defaults->setBool(ShellDefaults::hasLaunchedBefore, true);
        defaults->setBool(ShellDefaults::onboardingSheetCompleted, true);
    }
    QProcessEnvironment environment = installedEnvironment();
    pointAt(environment, scenery);
    ProgramRun run(program, environment);
    waitForHome(run);
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

    // The metadata names each picture the repository keeps, at the window's size.
    QFile metadata(package.file(QStringLiteral("usr/share/metainfo/") + ApplicationId::id() + QStringLiteral(".metainfo.xml")));
    ASSERT_TRUE(metadata.open(QIODevice::ReadOnly));
    QHash<QString, QSize> listed;
    for (const MetainfoScreenshot& shot : screenshotsIn(QString::fromUtf8(metadata.readAll()))) {
        listed.insert(shot.name(), shot.size);
        EXPECT_EQ(QImage(TestPaths::sourceFile(QStringLiteral("packaging/screenshots/") + shot.name() + QStringLiteral(".png"))).size(), shot.size)
            << "the repository's " << shot.name().toStdString() << ".png";
    }
    EXPECT_EQ(listed, sizes);
}

} // namespace
