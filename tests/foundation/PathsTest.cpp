#include "foundation/Paths.h"

#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Others lose their rights to a folder made by an earlier version; what the owner chose for
// themselves stays.
TEST(PathsTest, APrivateFolderKeepsItsOwnersRightsAndLosesOnlyOthers)
{
    struct Case {
        mode_t before;
        mode_t after;
    };
    const Case cases[] = {{0755, 0700}, {0750, 0700}, {0577, 0500}, {0700, 0700}, {0500, 0500}, {0300, 0300}};
    TempFolder temp;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::oct << c.before);
        const QString folder = temp.file(QStringLiteral("folder"));
        ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.before), 0);
        QString reason;
        EXPECT_TRUE(Paths::makePrivateFolder(folder, &reason)) << reason.toStdString();
        EXPECT_EQ(modeOf(folder), c.after);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        ASSERT_EQ(::rmdir(QFile::encodeName(folder).constData()), 0);
    }
    const QString made = temp.file(QStringLiteral("made/below"));
    EXPECT_TRUE(Paths::makePrivateFolder(made));
    EXPECT_EQ(modeOf(made), 0700);
}

TEST(PathsTest, AFolderOfAnotherUserIsRefusedForThatReason)
{
    TempFolder temp;
    const QString folder = temp.file(QStringLiteral("theirs"));
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
    if (::chown(QFile::encodeName(folder).constData(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user";
    QString reason;
    EXPECT_FALSE(Paths::makePrivateFolder(folder, &reason));
    EXPECT_EQ(reason, folder + QStringLiteral(" belongs to another user"));
}

// A link in the folder's place is not followed: its target, whoever's, keeps its rights.
TEST(PathsTest, ALinkInAPrivateFoldersPlaceIsRefused)
{
    TempFolder temp;
    const QString target = temp.file(QStringLiteral("target"));
    ASSERT_EQ(::mkdir(QFile::encodeName(target).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0777), 0);
    const QString link = temp.file(QStringLiteral("settings"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    QString reason;
    EXPECT_FALSE(Paths::makePrivateFolder(link, &reason));
    EXPECT_EQ(reason, link + QStringLiteral(" is a symbolic link"));
    EXPECT_EQ(modeOf(target), 0777u);
}

} // namespace
