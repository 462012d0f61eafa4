#include "foundation/CacheFile.h"
#include "support/SyncedFiles.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Nothing but the named files: no partial copy is left behind.
QStringList namesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name); }

struct WriteCase {
    const char* name;
    QByteArray before; // what had the name, if anything
    QByteArray bytes;
};

class CacheFileWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(CacheFileWriteTest, TheNameHoldsTheWholeFileAndNothingWaitsForTheDisk)
{
    const WriteCase& c = GetParam();
    TempFolder temp;
    const QString path = temp.file(QStringLiteral("poster.png"));
    if (!c.before.isNull()) {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(c.before);
    }
    const SyncedFiles synced;
    QString error;
    ASSERT_TRUE(CacheFile::write(path, c.bytes, &error)) << error.toStdString();
    EXPECT_EQ(readFile(path), c.bytes);
    EXPECT_EQ(namesIn(temp.path()), QStringList{QStringLiteral("poster.png")});
    EXPECT_FALSE(synced.contains(path));
}

INSTANTIATE_TEST_SUITE_P(Writes, CacheFileWriteTest,
    ::testing::Values(WriteCase{"New", QByteArray(), QByteArray("png bytes")},
        WriteCase{"ReplacesAnOlderCopy", QByteArray("an older, longer poster"), QByteArray("new")},
        WriteCase{"Empty", QByteArray(), QByteArray("")}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CacheFileTest, ANameThatCannotBeReplacedIsAFailureThatLeavesNoPart)
{
    TempFolder temp;
    // Something else in its place: a folder is never replaced by a file.
    const QString path = temp.file(QStringLiteral("poster.png"));
    ASSERT_TRUE(QDir().mkpath(path));
    QString error;
    EXPECT_FALSE(CacheFile::write(path, "png", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_TRUE(namesIn(temp.path()).isEmpty());
}

TEST(CacheFileTest, AMissingFolderIsAFailureThatSaysWhy)
{
    TempFolder temp;
    QString error;
    EXPECT_FALSE(CacheFile::write(temp.file(QStringLiteral("gone/poster.png")), "png", &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
