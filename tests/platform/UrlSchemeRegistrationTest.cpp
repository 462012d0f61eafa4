#include "foundation/ApplicationId.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/ProcessRunner.h"
#include "platform/UrlSchemeRegistration.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {
QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class UrlSchemeRegistrationTest : public ::testing::Test {
protected:
    // A stand-in for xdg-mime that records its arguments and answers a query with `current`.
    void installXdgMime(const QString& current)
    {
        const QString script = folder_.file(QStringLiteral("xdg-mime"));
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\n[ \"$1\" = query ] && echo '%2'\nexit 0\n")
                       .arg(callsFile(), current)
                       .toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        processes_.setToolPath(QStringLiteral("xdg-mime"), script);
    }
    QString callsFile() const { return folder_.file(QStringLiteral("xdg-mime-calls")); }

    TempFolder folder_;
    ProcessRunner processes_;
};

TEST_F(UrlSchemeRegistrationTest, WritesTheEntryAndMakesItTheDefaultHandler)
{
    installXdgMime(QStringLiteral("other.desktop"));
    UrlSchemeRegistration registration(processes_, QStringLiteral("/opt/Quor velle/bin/quorvelle$1"), {});
    EXPECT_TRUE(waitForTask(registration.registerScheme()));

    EXPECT_EQ(UrlSchemeRegistration::desktopFilePath(), Paths::applicationSupport() + QStringLiteral("/applications/quorvelle.desktop"));
    const QString entry = readText(UrlSchemeRegistration::desktopFilePath());
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=\"/opt/Quor velle/bin/quorvelle\\$1\" %u\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=x-scheme-handler/quorvelle;\n")));
    EXPECT_EQ(readText(callsFile()),
        QStringLiteral("query default x-scheme-handler/quorvelle\ndefault quorvelle.desktop x-scheme-handler/quorvelle\n"));
}

TEST_F(UrlSchemeRegistrationTest, AlreadyTheDefaultHandlerIsLeftAlone)
{
    installXdgMime(QStringLiteral("quorvelle.desktop"));
    UrlSchemeRegistration registration(processes_, QStringLiteral("/usr/bin/quorvelle"), {});
    EXPECT_TRUE(waitForTask(registration.registerScheme()));
    EXPECT_EQ(readText(callsFile()), QStringLiteral("query default x-scheme-handler/quorvelle\n"));
}

TEST_F(UrlSchemeRegistrationTest, WithoutXdgMimeTheEntryAloneIsWrittenSilently)
{
    processes_.setToolPath(QStringLiteral("xdg-mime"), folder_.file(QStringLiteral("missing")));
    LogCapture log;
    UrlSchemeRegistration registration(processes_, QStringLiteral("/usr/bin/quorvelle"), {});
    EXPECT_TRUE(waitForTask(registration.registerScheme()));
    EXPECT_TRUE(QFile::exists(UrlSchemeRegistration::desktopFilePath()));
    EXPECT_TRUE(log.lines().isEmpty());
}
// Installed with its launcher entry, the program writes no entry of its own, takes away the one
// an earlier run from the same place wrote, and makes the installed entry the default handler.
TEST_F(UrlSchemeRegistrationTest, AnInstalledProgramUsesItsLauncherEntry)
{
    struct Case {
        const char* name;
        bool earlierEntryIsOurs;
    };
    for (const Case c : {Case{"our earlier entry", true}, Case{"the user's own entry", false}}) {
        QFile::remove(callsFile());
        installXdgMime(QStringLiteral("quorvelle.desktop"));
        const QString program = folder_.file(QStringLiteral("usr/bin/quorvelle"));
        QDir().mkpath(folder_.file(QStringLiteral("usr/bin")));
        QDir().mkpath(folder_.file(QStringLiteral("usr/share/applications")));
        QFile::copy(QStringLiteral("/bin/true"), program);
        QFile entry(folder_.file(QStringLiteral("usr/share/applications/")) + ApplicationId::desktopFileName());
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Quorvelle\nExec=\"" + program.toUtf8() + "\" %u\n");
        entry.close();

        UrlSchemeRegistration registration(processes_, program, {folder_.file(QStringLiteral("usr/share"))});
        QDir().mkpath(Paths::applicationSupport() + QStringLiteral("/applications"));
        QFile earlier(UrlSchemeRegistration::desktopFilePath());
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write(c.earlierEntryIsOurs ? registration.desktopEntry().toUtf8() : QByteArray("[Desktop Entry]\nName=Mine\n"));
        earlier.close();

        EXPECT_TRUE(waitForTask(registration.registerScheme())) << c.name;
        EXPECT_EQ(QFile::exists(UrlSchemeRegistration::desktopFilePath()), !c.earlierEntryIsOurs) << c.name;
        EXPECT_EQ(readText(callsFile()), QStringLiteral("query default x-scheme-handler/quorvelle\ndefault ")
                                             + ApplicationId::desktopFileName() + QStringLiteral(" x-scheme-handler/quorvelle\n"))
            << c.name;
    }
}
} // namespace
