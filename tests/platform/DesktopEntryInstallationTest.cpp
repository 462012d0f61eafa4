#include "foundation/ApplicationId.h"
#include "platform/DesktopEntry.h"
#include "platform/DesktopEntryInstallation.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// Two data folders ("first" before "second") and two copies of a program, in a temporary folder.
class DesktopEntryInstallationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = makeProgram(QStringLiteral("prefix/bin"));
        otherCopy = makeProgram(QStringLiteral("build/src"));
        folders = {folder.file(QStringLiteral("first")), folder.file(QStringLiteral("second"))};
        path = qEnvironmentVariable("PATH");
        qputenv("PATH", QFileInfo(program).absolutePath().toUtf8() + ':' + path.toUtf8());
    }
    void TearDown() override { qputenv("PATH", path.toUtf8()); }

    QString makeProgram(const QString& relative) const
    {
        QDir().mkpath(folder.file(relative));
        const QString file = folder.file(relative + QStringLiteral("/quorvelle"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write("#!/bin/sh\n");
        out.close();
        out.setPermissions(out.permissions() | QFileDevice::ExeOwner);
        return file;
    }
    void installEntry(const QString& dataFolder, const QString& exec) const
    {
        QDir().mkpath(dataFolder + QStringLiteral("/applications"));
        QFile file(dataFolder + QStringLiteral("/applications/") + ApplicationId::desktopFileName());
        file.open(QIODevice::WriteOnly);
        file.write(("[Desktop Entry]\nType=Application\nName=Quorvelle\nExec=" + exec + "\n").toUtf8());
    }

    TempFolder folder;
    QString program;
    QString otherCopy;
    QStringList folders;
    QString path;
};

TEST_F(DesktopEntryInstallationTest, OnlyTheFirstEntryFoundCountsAndOnlyForTheProgramItStarts)
{
    struct Case {
        const char* name;
        QString first;   // Exec of the entry in the first folder; none when empty
        QString second;  // the same in the second
        bool found;
        int folderIndex;
    };
    const QString quoted = DesktopEntry::quotedArgument(program);
    const Case cases[] = {
        {"by name, through PATH", QStringLiteral("quorvelle %u"), {}, true, 0},
        {"by its path, quoted", quoted + QStringLiteral(" %u"), {}, true, 0},
        {"in a later folder", {}, QStringLiteral("quorvelle %u"), true, 1},
        {"another copy of the program", DesktopEntry::quotedArgument(otherCopy) + QStringLiteral(" %u"), {}, false, 0},
        {"hidden by a first entry for another copy", DesktopEntry::quotedArgument(otherCopy), quoted, false, 0},
        {"a program not on PATH", QStringLiteral("quorvelle-elsewhere %u"), {}, false, 0},
        {"no Exec line", QStringLiteral(""), {}, false, 0},
        {"no entry", {}, {}, false, 0},
    };
    for (const Case& c : cases) {
        for (const QString& dataFolder : folders)
            QDir(dataFolder).removeRecursively();
        if (!c.first.isNull())
            installEntry(folders[0], c.first);
        if (!c.second.isNull())
            installEntry(folders[1], c.second);
        const std::optional<QString> entry = DesktopEntryInstallation(folders).entryFor(program);
        const QString expected = folders[c.folderIndex] + QStringLiteral("/applications/") + ApplicationId::desktopFileName();
        EXPECT_EQ(entry, c.found ? std::optional<QString>(expected) : std::nullopt) << c.name;
    }
}

} // namespace
