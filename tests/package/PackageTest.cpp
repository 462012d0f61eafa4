#include "MetainfoScreenshots.h"
#include "UnpackedPackage.h"

#include "foundation/ApplicationId.h"
#include "support/ImageCompare.h"
#include "support/TestPaths.h"
#include "ui/AppLogo.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(package.failure().isEmpty()) << package.failure().toStdString(); }

    QString field(const QString& name) const
    {
        return runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package.deb(), name}).output.trimmed();
    }

    UnpackedPackage package;
};

// apt updates what it installed: neither the self-updater's disk-image tool nor anything else of
// the updater's is there.
TEST_F(PackageTest, HoldsTheProgramItsLauncherFilesAndManualAndNothingElse)
{
    const QString id = ApplicationId::id();
    QStringList expected{
        QStringLiteral("usr/bin/quorvelle"),
        QStringLiteral("usr/share/man/man1/quorvelle.1.gz"),
        QStringLiteral("usr/share/applications/") + id + QStringLiteral(".desktop"),
        QStringLiteral("usr/share/metainfo/") + id + QStringLiteral(".metainfo.xml"),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/") + id + QStringLiteral(".svg"),
        QStringLiteral("usr/share/doc/quorvelle/copyright"),
        QStringLiteral("usr/share/doc/quorvelle/changelog.gz"),
    };
    for (const int size : {48, 64, 128, 256})
        expected.append(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/").arg(size) + id + QStringLiteral(".png"));
    expected.sort();
    EXPECT_EQ(package.files(), expected);

    EXPECT_TRUE(QFileInfo(package.file(QStringLiteral("usr/bin/quorvelle"))).isExecutable());
    // No maintainer script: installing and removing touch nothing but these files, never the
    // users' settings and libraries in their homes.
    const QTemporaryDir control;
    ASSERT_EQ(runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--control"), package.deb(), control.path()}).exitCode, 0);
    EXPECT_EQ(QDir(control.path()).entryList(QDir::Files, QDir::Name), QStringList({QStringLiteral("control"), QStringLiteral("md5sums")}));
    EXPECT_EQ(field(QStringLiteral("Package")), QStringLiteral("quorvelle"));
    EXPECT_EQ(field(QStringLiteral("Version")), QStringLiteral(QUORVELLE_VERSION));
}

// Each PNG is the logo the window shows, drawn at its size.
TEST_F(PackageTest, TheIconsAreTheWindowsLogoAtEachSize)
{
    QSvgRenderer logo(AppLogo::defaultPicturePath());
    ASSERT_TRUE(logo.isValid());
    for (const int size : {48, 64, 128, 256}) {
        const QImage icon(package.file(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/").arg(size) + ApplicationId::id()
                                       + QStringLiteral(".png")));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        QImage drawn(size, size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        logo.render(&painter);
        painter.end();
        EXPECT_LT(meanChannelDifference(icon, drawn, QSize(24, 24)), 6.0) << size;
    }
}

// dpkg-shlibdeps names the libraries the program links; what it opens at run time is named by
// hand (PackageDependenciesTest checks those against a run).
TEST_F(PackageTest, DependsOnTheLibrariesTheProgramLinksAndOpens)
{
    const QString depends = field(QStringLiteral("Depends"));
    for (const char* library : {"libqt6widgets6", "libqt6svg6", "libavformat", "libcurl4", "libxcb-shm0", "libmpv2",
             "qt6-image-formats-plugins", "qt6-qpa-plugins", "qt6-wayland"})
        EXPECT_TRUE(depends.contains(QLatin1String(library))) << library << " in " << depends.toStdString();
    EXPECT_FALSE(depends.contains(QStringLiteral("libasan"))) << "a sanitizer build was packaged";
}

// The manual page reads without a warning of the formatter's and tells every option the
// program takes, and that updates come from the package manager.
TEST_F(PackageTest, TheManualPageReadsCleanAndTellsTheOptions)
{
    QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    plain.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    plain.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
    const ToolRun manual = runTool(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-P"), QStringLiteral("cat"), QStringLiteral("-l"),
                                                             package.file(QStringLiteral("usr/share/man/man1/quorvelle.1.gz"))}, plain);
    ASSERT_EQ(manual.exitCode, 0) << manual.output.toStdString();
    EXPECT_FALSE(manual.output.contains(QStringLiteral("warning"))) << manual.output.toStdString();
    for (const char* text : {"quorvelle - live video wallpapers", "--login-launch", "--version", "quorvelle://", "package manager",
             QUORVELLE_VERSION})
        EXPECT_TRUE(manual.output.contains(QString::fromUtf8(text))) << text << " in:\n" << manual.output.toStdString();
    const ToolRun version = runTool(package.file(QStringLiteral("usr/bin/quorvelle")), {QStringLiteral("--version")});
    EXPECT_EQ(version.output.trimmed(), QStringLiteral("Quorvelle " QUORVELLE_VERSION));
}

// The metadata's screenshots are the repository's own files, addressed where the repository
// serves them, so a software centre finds them.
TEST_F(PackageTest, TheMetadatasScreenshotsAreTheRepositorysFiles)
{
    QFile metadata(package.file(QStringLiteral("usr/share/metainfo/") + ApplicationId::id() + QStringLiteral(".metainfo.xml")));
    ASSERT_TRUE(metadata.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(metadata.readAll());
    const QRegularExpressionMatch repository = QRegularExpression(QStringLiteral("<url type=\"vcs-browser\">(https://[^<]+)</url>")).match(text);
    ASSERT_TRUE(repository.hasMatch()) << text.toStdString();
    const QList<MetainfoScreenshot> shots = screenshotsIn(text);
    ASSERT_EQ(shots.size(), 2);
    for (const MetainfoScreenshot& shot : shots) {
        SCOPED_TRACE(shot.address.toStdString());
        EXPECT_TRUE(shot.address.startsWith(repository.captured(1) + u'/'));
        const QString file = QStringLiteral("packaging/screenshots/") + shot.name() + QStringLiteral(".png");
        EXPECT_TRUE(shot.address.endsWith(u'/' + file));
        EXPECT_EQ(QImage(TestPaths::sourceFile(file)).size(), shot.size);
    }
}

struct CheckerCase {
    const char* name;
    QString program;
    QStringList arguments;
    // An error line this checker's version gets wrong, or none.
    QString outdatedError;
};

// The errors a checker reported, leaving out the one it gets wrong.
QStringList errorsIn(const ToolRun& run, const QString& outdatedError)
{
    QStringList errors;
    for (const QString& line : run.output.split(u'\n'))
        if ((line.contains(QStringLiteral("error:")) || line.startsWith(QStringLiteral("E: ")))
            && (outdatedError.isEmpty() || !line.contains(outdatedError)))
            errors.append(line);
    return errors;
}

// Each checker finds no error; what it warns of is printed for the reader. Debian 12's
// desktop-file-validate predates the SingleMainWindow key (format 1.5) and calls it an error.
TEST_F(PackageTest, TheLaunchEntryMetadataAndPackagePassTheirCheckers)
{
    const QString id = ApplicationId::id();
    const CheckerCase cases[] = {
        {"launcher entry", QStringLiteral("desktop-file-validate"),
            {package.file(QStringLiteral("usr/share/applications/") + id + QStringLiteral(".desktop"))},
            QStringLiteral("file contains key \"SingleMainWindow\" in group \"Desktop Entry\"")},
        {"metadata", QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--explain"),
                package.file(QStringLiteral("usr/share/metainfo/") + id + QStringLiteral(".metainfo.xml"))}, {}},
        {"installed tree", QStringLiteral("appstreamcli"),
            {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), package.file(QString())}, {}},
        {"package", QStringLiteral("lintian"), {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), package.deb()}, {}},
    };
    for (const CheckerCase& c : cases) {
        const ToolRun run = runTool(c.program, c.arguments);
        EXPECT_TRUE(run.exitCode == 0 || (run.exitCode == 1 && !c.outdatedError.isEmpty()))
            << c.name << " exited with " << run.exitCode << ":\n" << run.output.toStdString();
        EXPECT_EQ(errorsIn(run, c.outdatedError), QStringList()) << c.name;
        if (!run.output.trimmed().isEmpty())
            std::printf("%s:\n%s\n", c.name, qPrintable(run.output));
    }
}

} // namespace
