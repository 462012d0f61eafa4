#include "InstalledDependencies.h"
#include "InstalledProgramFixture.h"

#include "support/HeadlessSway.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

constexpr int kLoadMs = 60'000;

// The shared objects a process has open, from its memory map.
QStringList sharedObjectsOf(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList files;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype path = line.indexOf(" /");
        if (path < 0)
            continue;
        const QString file = QString::fromUtf8(line.mid(path + 1).trimmed());
        // "libfoo.so", "libfoo.so.6.4.2"; not the loader's own "/etc/ld.so.cache", mapped while
        // it looks a library up.
        static const QRegularExpression sharedObject(QStringLiteral("\\.so(\\.\\d+)*$"));
        if (sharedObject.match(file).hasMatch() && !files.contains(file))
            files.append(file);
    }
    return files;
}

// Whether one of the files is `name`, or a version of it ("libmpv.so" for "libmpv.so.2.0.0").
bool anyNamed(const QStringList& files, const QString& name)
{
    return std::any_of(files.cbegin(), files.cend(), [&](const QString& file) {
        const QString fileName = file.section(u'/', -1);
        return fileName == name || fileName.startsWith(name + u'.');
    });
}

// The installed program, run on each kind of session it supports, opens only libraries and
// plugins that its package's Depends bring: the platform plugin, the image plugins, libmpv
// (opened by the first player) and all they load.
class PackageDependenciesTest : public InstalledProgramFixture {
protected:
    // What the program has open once Home shows and its hero video plays on this session.
    QStringList loadedOn(const QProcessEnvironment& session)
    {
        ProgramRun run(program, session);
        waitForHome(run);
        QStringList loaded;
        const bool opened = QTest::qWaitFor(
            [&] {
                loaded = sharedObjectsOf(run.processId());
                return anyNamed(loaded, QStringLiteral("libmpv.so")) && anyNamed(loaded, QStringLiteral("libqwebp.so"));
            },
            kLoadMs);
        EXPECT_TRUE(opened) << "the run never opened libmpv and the WebP plugin:\n" << loaded.join(u'\n').toStdString();
        EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();
        return loaded;
    }

    // Each loaded file from outside the package whose owner the Depends do not bring, with its
    // owner, one a line.
    QString missingFrom(const QStringList& loaded) const
    {
        const InstalledDependencies dependencies(runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package.deb(), QStringLiteral("Depends")}).output);
        if (!dependencies.failure().isEmpty())
            return dependencies.failure();
        QStringList outside;
        for (const QString& file : loaded)
            if (!file.startsWith(package.file(QString())))
                outside.append(file);
        const QHash<QString, QStringList> owners = InstalledDependencies::owners(outside);
        QStringList missing;
        for (const QString& file : outside) {
            const QStringList owning = owners.value(file);
            if (owning.isEmpty())
                missing.append(file + QStringLiteral(" (no package)"));
            else if (std::none_of(owning.cbegin(), owning.cend(), [&](const QString& owner) { return dependencies.contains(owner); }))
                missing.append(file + QStringLiteral(" (") + owning.join(QStringLiteral(", ")) + u')');
        }
        return missing.join(u'\n');
    }
};

TEST_F(PackageDependenciesTest, DependsBringWhatTheProgramOpensOnX11)
{
    const QStringList loaded = loadedOn(installedEnvironment());
    EXPECT_TRUE(anyNamed(loaded, QStringLiteral("libqxcb.so")));
    EXPECT_EQ(missingFrom(loaded), QString()) << "opened on X11, not brought by Depends";
}

TEST_F(PackageDependenciesTest, DependsBringWhatTheProgramOpensOnWayland)
{
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_FAIL() << "needs a headless sway: " << sway.failure().toStdString();
    QProcessEnvironment wayland = installedEnvironment();
    wayland.remove(QStringLiteral("DISPLAY"));
    wayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    const QProcessEnvironment compositor = sway.environment();
    for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
        wayland.insert(QString::fromLatin1(name), compositor.value(QString::fromLatin1(name)));
    const QStringList loaded = loadedOn(wayland);
    EXPECT_TRUE(anyNamed(loaded, QStringLiteral("libqwayland-generic.so")));
    EXPECT_EQ(missingFrom(loaded), QString()) << "opened on Wayland, not brought by Depends";
}

// The dependency fields are read as apt reads them.
TEST(InstalledDependenciesTest, NamesAreReadWithoutVersionsAndArchitectures)
{
    EXPECT_EQ(InstalledDependencies::namesIn(QStringLiteral("libc6 (>= 2.34), libmpv2, python3:any | python3-minimal [amd64], , libfoo <!nocheck>")),
        (QStringList{QStringLiteral("libc6"), QStringLiteral("libmpv2"), QStringLiteral("python3"), QStringLiteral("python3-minimal"),
            QStringLiteral("libfoo")}));
    // A package's own dependencies come along, and libc6 is in every closure.
    const InstalledDependencies closure(QStringLiteral("libqt6core6"));
    ASSERT_EQ(closure.failure(), QString());
    EXPECT_TRUE(closure.contains(QStringLiteral("libqt6core6")));
    EXPECT_TRUE(closure.contains(QStringLiteral("libc6")));
    EXPECT_FALSE(closure.contains(QStringLiteral("qt6-wayland")));
    const QHash<QString, QStringList> owners = InstalledDependencies::owners({QStringLiteral("/usr/lib/x86_64-linux-gnu/libc.so.6")});
    EXPECT_EQ(owners.value(QStringLiteral("/usr/lib/x86_64-linux-gnu/libc.so.6")), QStringList{QStringLiteral("libc6")});
}

} // namespace
