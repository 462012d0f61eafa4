#include "platform/HttpDownloadFile.h"
#include "support/FileBytes.h"
#include "support/SyncedFiles.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(HttpDownloadFileTest, TheDestinationChangesOnlyOnCommit)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> before;
        bool commit;
        std::optional<QByteArray> after;
    };
    const Case cases[] = {
        {"new file committed", std::nullopt, true, QByteArray("new video")},
        {"new file dropped", std::nullopt, false, std::nullopt},
        {"old file replaced", QByteArray("old video"), true, QByteArray("new video")},
        {"old file kept when dropped", QByteArray("old video"), false, QByteArray("old video")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const QString destination = temp.file(QStringLiteral("video.mp4"));
        if (c.before) {
            QFile old(destination);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write(*c.before);
        }
        {
            HttpDownloadFile file(destination, DownloadDurability::Cache);
            ASSERT_TRUE(file.open());
            ASSERT_TRUE(file.write("new ", 4));
            ASSERT_TRUE(file.write("video", 5));
            EXPECT_EQ(readFile(destination), c.before.value_or(QByteArray())) << "untouched while written";
            // Unnamed while written, so a crash of the program leaves nothing in the folder.
            EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden),
                      c.before ? QStringList{QStringLiteral("video.mp4")} : QStringList());
            if (c.commit) {
                EXPECT_TRUE(file.commit()) << file.errorString().toStdString();
            }
        }
        EXPECT_EQ(QFile::exists(destination), c.after.has_value());
        EXPECT_EQ(readFile(destination), c.after.value_or(QByteArray()));
        const QStringList left = QDir(temp.path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, c.after ? QStringList{QStringLiteral("video.mp4")} : QStringList()) << "no staging file stays";
    }
}

TEST(HttpDownloadFileTest, OnlyADurableFileIsSyncedAndBothArriveWhole)
{
    struct Case {
        DownloadDurability durability;
        bool synced;
    };
    for (const Case c : {Case{DownloadDurability::Synced, true}, Case{DownloadDurability::Cache, false}}) {
        SCOPED_TRACE(c.synced ? "synced" : "cache");
        TempFolder temp;
        const QString destination = temp.file(QStringLiteral("video.mp4"));
        const SyncedFiles synced;
        HttpDownloadFile file(destination, c.durability);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("whole video", 11));
        ASSERT_TRUE(file.commit()) << file.errorString().toStdString();
        EXPECT_EQ(readFile(destination), QByteArray("whole video"));
        EXPECT_EQ(synced.contains(destination), c.synced);
    }
}

TEST(HttpDownloadFileTest, AFolderThatCannotTakeTheFileFailsToOpen)
{
    TempFolder temp;
    HttpDownloadFile file(temp.file(QStringLiteral("missing/video.mp4")), DownloadDurability::Synced);
    EXPECT_FALSE(file.open());
    EXPECT_FALSE(file.errorString().isEmpty());
}

} // namespace
