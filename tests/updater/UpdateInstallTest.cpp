#include "RenameFault.h"
#include "UpdatePackages.h"
#include "UpdaterFixture.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/DiskImageTool.h"
#include "platform/FileError.h"
#include "support/FileBytes.h"
#include "support/TaskWait.h"
#include "updater/Relauncher.h"
#include "updater/UpdateError.h"
#include "updater/UpdateInstaller.h"
#include "updater/UpdaterFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class UpdateInstallTest : public UpdaterFixture {
protected:
    UpdateInstallTest() { recordShell(); }

    void install(const QString& file)
    {
        std::exception_ptr failure;
        try {
            waitForTask([](UpdateCheckService& service, QString path, QList<double>& reports) -> QCoro::Task<bool> {
                co_await service.installUpdate(path, [&reports](double fraction) { reports.append(fraction); });
                co_return true;
            }(service(), file, reports_));
        } catch (...) {
            failure = std::current_exception();
        }
        QCoreApplication::processEvents(); // the last reports arrive on later turns
        if (failure)
            std::rethrow_exception(failure);
    }
    // The description of the UpdateError the installation throws.
    QString failureOf(const QString& file)
    {
        try {
            install(file);
        } catch (const UpdateError& error) {
            return error.localizedDescription();
        }
        ADD_FAILURE() << "no UpdateError for " << file.toStdString();
        return {};
    }
    void expectOldAppUntouched()
    {
        EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"old");
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
        EXPECT_TRUE(delays_.scheduled().isEmpty()) << "a termination was scheduled";
        EXPECT_FALSE(QFileInfo::exists(temp_.file(QStringLiteral("shell-arguments")))) << "the relaunch started";
    }

    QList<double> reports_;
    LogCapture log_;
};

struct KindCase {
    const char* kind;
    const char* fileName;
    QList<double> reports;

    friend void PrintTo(const KindCase& c, std::ostream* out) { *out << c.fileName; }
};

class InstallKindTest : public UpdateInstallTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(InstallKindTest, ReplacesTheAppAndRelaunchesIt)
{
    const KindCase& c = GetParam();
    install(buildPackage(QString::fromLatin1(c.kind), QString::fromLatin1(c.fileName), QStringLiteral("new")));
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"new");
    EXPECT_TRUE(QFileInfo(installedBundle() + QStringLiteral("/bin/quorvelle")).isExecutable());
    EXPECT_TRUE(QFileInfo(installedBundle() + QStringLiteral("/share/quorvelle/label-link")).isSymLink()) << "links inside stay";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
    EXPECT_EQ(reports_, c.reports);
    // The script gets the bundle as its argument, and the application is asked to end 0.5 s later.
    EXPECT_EQ(shellArguments(), (QStringList{Relauncher::scriptPath(), installedBundle()}));
    EXPECT_EQ(delays_.scheduled(), QList<int>{Relauncher::kTerminateDelayMs});
    EXPECT_EQ(terminations_, 0);
    delays_.runScheduled();
    EXPECT_EQ(terminations_, 1);
    EXPECT_EQ(log_.lines().last(), QStringLiteral("📦 [UpdateCheckService] Terminating current app..."));
}

INSTANTIATE_TEST_SUITE_P(Kinds, InstallKindTest,
    ::testing::Values(KindCase{"dmg", "QuorvelleUpdate.dmg", {0.1, 0.2, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0}},
        KindCase{"dmg", "QuorvelleUpdate.DMG", {0.1, 0.2, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0}},
        KindCase{"zip", "QuorvelleUpdate.zip", {0.1, 0.2, 0.4, 0.6, 0.7, 0.9, 1.0}},
        KindCase{"app", "QuorvelleUpdate.app", {0.1, 0.3, 0.5, 0.7, 0.9, 1.0}}),
    [](const auto& param) { return std::string(param.param.kind) + std::to_string(param.index); });

struct BadPackageCase {
    const char* name;
    std::function<QString(UpdaterFixture&)> build;
    QString failure;
    QString line;

    friend void PrintTo(const BadPackageCase& c, std::ostream* out) { *out << c.name; }
};

class BadPackageTest : public UpdateInstallTest, public ::testing::WithParamInterface<BadPackageCase> {};

TEST_P(BadPackageTest, FailsAndLeavesTheAppAsItWas)
{
    const BadPackageCase& c = GetParam();
    EXPECT_EQ(failureOf(c.build(*this)), c.failure);
    EXPECT_TRUE(log_.contains(c.line)) << log_.lines().join(u'\n').toStdString();
    expectOldAppUntouched();
}

QString writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

// A package holding `entries` made with `make` in a fresh folder.
QString packageOf(UpdaterFixture& fixture, const QString& kind, const QString& fileName,
    const std::function<void(const QString& folder)>& make)
{
    const QString folder = fixture.work(QStringLiteral("volume-of-") + fileName);
    QDir().mkpath(folder);
    make(folder);
    const QString package = fixture.work(fileName);
    const bool built = kind == u"dmg"
        ? UpdatePackages::diskImage(folder, package)
        : UpdatePackages::zip(folder, QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), package);
    EXPECT_TRUE(built);
    return package;
}

// A package of `kind` whose bundle's program is a link to a script outside the bundle.
QString programLinkedOutside(UpdaterFixture& fixture, const QString& kind)
{
    const QString outside = writeFile(fixture.work(QStringLiteral("outside.sh")), "#!/bin/bash\ntouch ran-outside\n");
    const QString fileName = QStringLiteral("QuorvelleUpdate.") + kind;
    const QString bundle = fixture.work(QStringLiteral("volume-of-") + fileName + QStringLiteral("/Quorvelle.app"));
    UpdatePackages::makeBundle(bundle, QStringLiteral("new"), fixture.marker());
    QFile::remove(bundle + QStringLiteral("/bin/quorvelle"));
    QFile::link(outside, bundle + QStringLiteral("/bin/quorvelle"));
    const QString package = fixture.work(fileName);
    const QString volume = QFileInfo(bundle).path();
    const bool built = kind == u"dmg" ? UpdatePackages::diskImage(volume, package)
        : kind == u"zip"              ? UpdatePackages::zip(volume, {QStringLiteral("Quorvelle.app")}, package)
                                      : UpdatePackages::packedBundle(bundle, package);
    EXPECT_TRUE(built);
    return package;
}

INSTANTIATE_TEST_SUITE_P(Packages, BadPackageTest,
    ::testing::Values(
        BadPackageCase{"NotADiskImage",
            [](UpdaterFixture& f) { return writeFile(f.work(QStringLiteral("QuorvelleUpdate.dmg")), "not an image"); },
            QStringLiteral("Failed to mount DMG"), QStringLiteral("❌ [UpdateCheckService] Failed to mount DMG, exit code: 1")},
        BadPackageCase{"DiskImageWithoutBundle",
            [](UpdaterFixture& f) {
                return packageOf(f, QStringLiteral("dmg"), QStringLiteral("QuorvelleUpdate.dmg"), [&f](const QString& folder) {
                    // The case of the extension counts.
                    UpdatePackages::makeBundle(folder + QStringLiteral("/Quorvelle.APP"), QStringLiteral("new"), f.marker());
                });
            },
            QStringLiteral("No .app bundle found in DMG"), QStringLiteral("❌ [UpdateCheckService] No .app bundle found in DMG contents")},
        BadPackageCase{"DiskImageWithAForeignBundle",
            [](UpdaterFixture& f) {
                return f.buildPackage(QStringLiteral("dmg"), QStringLiteral("QuorvelleUpdate.dmg"), QStringLiteral("new"),
                    QStringLiteral("Other.app"));
            },
            QStringLiteral("Unexpected app bundle"),
            QStringLiteral("❌ [UpdateCheckService] Refusing to install Other.app: the application's bundle is Quorvelle.app")},
        BadPackageCase{"NotAnArchive",
            [](UpdaterFixture& f) { return writeFile(f.work(QStringLiteral("QuorvelleUpdate.zip")), "not a zip"); },
            QStringLiteral("Failed to extract ZIP"), QStringLiteral("❌ [UpdateCheckService] Failed to extract ZIP, exit code: 9")},
        BadPackageCase{"ArchiveWithTheBundleInAFolder",
            [](UpdaterFixture& f) {
                return packageOf(f, QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), [&f](const QString& folder) {
                    UpdatePackages::makeBundle(folder + QStringLiteral("/inner/Quorvelle.app"), QStringLiteral("new"), f.marker());
                });
            },
            QStringLiteral("No .app bundle found in ZIP"), QStringLiteral("❌ [UpdateCheckService] No .app bundle found in ZIP contents")},
        BadPackageCase{"ArchiveWithABundleNamedLikeACommand",
            [](UpdaterFixture& f) {
                return f.buildPackage(QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), QStringLiteral("new"),
                    QStringLiteral("x\"; touch injected; echo \".app"));
            },
            QStringLiteral("Unexpected app bundle"), QStringLiteral("❌ [UpdateCheckService] Refusing to install x\"; touch")},
        BadPackageCase{"ArchiveWithABundleWithoutProgram",
            [](UpdaterFixture& f) {
                return packageOf(f, QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), [](const QString& folder) {
                    QDir().mkpath(folder + QStringLiteral("/Quorvelle.app/share"));
                });
            },
            QStringLiteral("Not an app bundle"), QStringLiteral("❌ [UpdateCheckService] Not an app bundle (no bin/quorvelle): ")},
        BadPackageCase{"PackedBundleThatIsNoArchive",
            [](UpdaterFixture& f) { return writeFile(f.work(QStringLiteral("QuorvelleUpdate.app")), "#!/bin/sh\n"); },
            QStringLiteral("Failed to unpack app bundle"),
            QStringLiteral("❌ [UpdateCheckService] Failed to unpack app bundle, exit code: 9")},
        BadPackageCase{"DiskImageWithAProgramLinkedOutside",
            [](UpdaterFixture& f) { return programLinkedOutside(f, QStringLiteral("dmg")); },
            QStringLiteral("App bundle links outside itself"),
            QStringLiteral("❌ [UpdateCheckService] Refusing an app bundle with a link that leads outside it: bin/quorvelle")},
        BadPackageCase{"ArchiveWithAProgramLinkedOutside",
            [](UpdaterFixture& f) { return programLinkedOutside(f, QStringLiteral("zip")); },
            QStringLiteral("App bundle links outside itself"),
            QStringLiteral("❌ [UpdateCheckService] Refusing an app bundle with a link that leads outside it: bin/quorvelle")},
        BadPackageCase{"PackedBundleWithAProgramLinkedOutside",
            [](UpdaterFixture& f) { return programLinkedOutside(f, QStringLiteral("app")); },
            QStringLiteral("App bundle links outside itself"),
            QStringLiteral("❌ [UpdateCheckService] Refusing an app bundle with a link that leads outside it: bin/quorvelle")},
        BadPackageCase{"ArchiveWhoseBundleIsALinkToAnOutsideFolder",
            [](UpdaterFixture& f) {
                const QString elsewhere = f.work(QStringLiteral("elsewhere/Quorvelle.app"));
                UpdatePackages::makeBundle(elsewhere, QStringLiteral("new"), f.marker());
                return packageOf(f, QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), [elsewhere](const QString& folder) {
                    QFile::link(elsewhere, folder + QStringLiteral("/Quorvelle.app"));
                });
            },
            QStringLiteral("App bundle links outside itself"),
            QStringLiteral("❌ [UpdateCheckService] Refusing an app bundle that is a link: ")},
        BadPackageCase{"UnknownKind",
            [](UpdaterFixture& f) { return writeFile(f.work(QStringLiteral("QuorvelleUpdate.pkg")), "package"); },
            QStringLiteral("Unsupported update file"),
            QStringLiteral("❌ [UpdateCheckService] Unknown file type (pkg), nothing installed")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UpdateInstallTest, AFailedCopyKeepsTheInstalledApp)
{
    // A pipe is no part of a bundle: the copy stops on it, half done.
    const QString package = packageOf(*this, QStringLiteral("dmg"), QStringLiteral("QuorvelleUpdate.dmg"), [this](const QString& folder) {
        UpdatePackages::makeBundle(folder + QStringLiteral("/Quorvelle.app"), QStringLiteral("new"), marker());
        ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("/Quorvelle.app/share/zz-pipe")).constData(), 0600), 0);
    });
    EXPECT_THROW(install(package), FileError);
    expectOldAppUntouched();
}

TEST_F(UpdateInstallTest, ASwapThatFailsPutsTheInstalledAppBack)
{
    const QString package = buildPackage(QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), QStringLiteral("new"));
    // The installed bundle has moved aside; the new one cannot take its place.
    const RenameFault fault([this](const QString& from, const QString& to) {
        return to == installedBundle() && !from.endsWith(QStringLiteral(".previous"));
    });
    EXPECT_THROW(install(package), FileError);
    EXPECT_EQ(fault.failures(), 1);
    expectOldAppUntouched();
}

TEST_F(UpdateInstallTest, ADiskImageInstallsFromTheVolumeItsOwnAttachMade)
{
    // An image attached earlier (by an install that crashed, say) is listed before the new one.
    const ProcessResult stale = waitForTask(DiskImageTool::attach(
        buildPackage(QStringLiteral("dmg"), QStringLiteral("Stale.dmg"), QStringLiteral("stale")), work(QStringLiteral("mounts"))));
    ASSERT_TRUE(stale.succeeded()) << stale.standardError.toStdString();
    const std::optional<QString> staleVolume = DiskImageTool::mountPointFrom(stale.standardOutput);
    ASSERT_TRUE(staleVolume);

    install(buildPackage(QStringLiteral("dmg"), QStringLiteral("QuorvelleUpdate.dmg"), QStringLiteral("new")));
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"new");
    EXPECT_TRUE(QFileInfo::exists(*staleVolume)) << "another image's volume is not ours to detach";
    EXPECT_TRUE(waitForTask(DiskImageTool::detach(*staleVolume)).succeeded());
}

TEST_F(UpdateInstallTest, AnApplicationsFolderThatCannotBeWrittenChangesNothing)
{
    const QString blocked = work(QStringLiteral("not-a-folder"));
    writeFile(blocked, "file");
    environment().applicationsFolder = blocked + QStringLiteral("/Applications");
    EXPECT_THROW(install(buildPackage(QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), QStringLiteral("new"))),
        FileError);
    expectOldAppUntouched();
}

TEST_F(UpdateInstallTest, AnApplicationsFolderWithControlCharactersIsRefused)
{
    environment().applicationsFolder = temp_.file(QStringLiteral("home/Apps\nlications"));
    EXPECT_EQ(failureOf(buildPackage(QStringLiteral("app"), QStringLiteral("QuorvelleUpdate.app"), QStringLiteral("new"))),
        u"Invalid Applications folder");
    EXPECT_FALSE(QFileInfo::exists(environment().applicationsFolder));
    expectOldAppUntouched();
}

// Links planted at the updater's fixed names are replaced or removed, never followed.
TEST_F(UpdateInstallTest, LinksAtTheWorkingNamesAreNotFollowed)
{
    const QString victimFile = writeFile(work(QStringLiteral("victim.txt")), "keep me");
    const QString victimFolder = work(QStringLiteral("victim-folder"));
    QDir().mkpath(victimFolder);
    writeFile(victimFolder + QStringLiteral("/inside.txt"), "keep me too");
    ASSERT_TRUE(QFile::link(victimFile, Relauncher::scriptPath()));
    ASSERT_TRUE(QFile::link(victimFolder, UpdateInstaller::extractionDirectory()));

    install(buildPackage(QStringLiteral("zip"), QStringLiteral("QuorvelleUpdate.zip"), QStringLiteral("new")));
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"new");
    EXPECT_EQ(readFile(victimFile), "keep me");
    EXPECT_EQ(readFile(victimFolder + QStringLiteral("/inside.txt")), "keep me too");
    const QFileInfo script(Relauncher::scriptPath());
    EXPECT_FALSE(script.isSymLink());
    EXPECT_EQ(readFile(script.filePath()), Relauncher::scriptText().toUtf8());
}

struct PlantedCase {
    const char* name;
    std::function<void(const QString& fixedName, const QString& elsewhere)> plant;

    friend void PrintTo(const PlantedCase& c, std::ostream* out) { *out << c.name; }
};

class WorkFolderTest : public ::testing::TestWithParam<PlantedCase> {
protected:
    TempFolder temp_;
};

// The working folder is this user's alone, whatever another user left at its fixed name.
TEST_P(WorkFolderTest, IsPrivateAndNoLink)
{
    const QString fixed = Paths::runtime() + QStringLiteral("/quorvelle-update-") + QString::number(::geteuid());
    const QString elsewhere = temp_.file(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    GetParam().plant(fixed, elsewhere);

    const QString folder = UpdaterFolders::workFolder();
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(status.st_uid, ::geteuid());
    EXPECT_EQ(UpdaterFolders::workFolder(), folder) << "one folder for the whole run";
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Planted, WorkFolderTest,
    ::testing::Values(PlantedCase{"Nothing", [](const QString&, const QString&) {}},
        PlantedCase{"ALinkToAnotherFolder", [](const QString& fixed, const QString& elsewhere) { QFile::link(elsewhere, fixed); }},
        PlantedCase{"AFolderOpenToEveryone",
            [](const QString& fixed, const QString&) {
                QDir().mkpath(fixed);
                ::chmod(QFile::encodeName(fixed).constData(), 0777);
            }},
        PlantedCase{"AFile", [](const QString& fixed, const QString&) { writeFile(fixed, "squatted"); }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RelauncherTest, TheScriptTakesTheBundleAsItsArgument)
{
    EXPECT_EQ(Relauncher::scriptText(), QStringLiteral("#!/bin/bash\n# Wait for old app to quit\nsleep 2\n"
                                                       "# Launch new app (force new instance)\nexec \"$1/bin/quorvelle\""));
    EXPECT_TRUE(Relauncher::isSafePath(QStringLiteral("/home/me/Applications/Quorvelle.app")));
    EXPECT_TRUE(Relauncher::isSafePath(QStringLiteral("/home/me/My \"Apps\" $(x)/Quorvelle.app")));
    EXPECT_FALSE(Relauncher::isSafePath(QStringLiteral("Applications/Quorvelle.app")));
    EXPECT_FALSE(Relauncher::isSafePath(QStringLiteral("/home/me/App\rs/Quorvelle.app")));
}

} // namespace
