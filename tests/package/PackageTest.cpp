#include "UnpackedPackage.h"

#include "foundation/ApplicationId.h"
#include "support/ImageCompare.h"
#include "ui/AppLogo.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
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

TEST_F(PackageTest, HoldsTheProgramItsDataAndItsLauncherFilesAndNothingElse)
{
    const QString id = ApplicationId::id();
    QStringList expected{
        QStringLiteral("usr/bin/quorvelle"),
        QStringLiteral("usr/bin/quorvelle-disk-image"),
        QStringLiteral("usr/share/quorvelle/wallpaper.mp4"),
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

    for (const QString& program : {QStringLiteral("usr/bin/quorvelle"), QStringLiteral("usr/bin/quorvelle-disk-image")})
        EXPECT_TRUE(QFileInfo(package.file(program)).isExecutable()) << program.toStdString();
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

// dpkg-shlibdeps names the libraries the program links; libmpv, opened at run time, is named by hand.
TEST_F(PackageTest, DependsOnTheLibrariesTheProgramLinksAndOpens)
{
    const QString depends = field(QStringLiteral("Depends"));
    for (const char* library : {"libqt6widgets6", "libqt6svg6", "libavformat", "libcurl4", "libxcb-shm0", "libmpv2",
             "qt6-image-formats-plugins"})
        EXPECT_TRUE(depends.contains(QLatin1String(library))) << library << " in " << depends.toStdString();
    EXPECT_FALSE(depends.contains(QStringLiteral("libasan"))) << "a sanitizer build was packaged";
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
