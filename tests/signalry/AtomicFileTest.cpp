#include "FailingFileCall.h"
#include "UnreadableFile.h"

#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace signalry;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(AtomicFile::replace(path, "old")); }

    QStringList folderEntries() const { return QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("state.json"));
};

// A device that fails the sync or the close has not kept what was written: the old file stays
// as it was, and the caller hears why.
TEST_F(AtomicFileTest, AFailingSyncOrCloseKeepsTheOldFile)
{
    using Call = FailingFileCall::Call;
    for (const Call call : {Call::Fsync, Call::Close}) {
        SCOPED_TRACE(call == Call::Fsync ? "fsync" : "close");
        QString error;
        {
            const FailingFileCall failing(call, folder.path(), EIO);
            EXPECT_FALSE(AtomicFile::replace(path, "new", &error));
            EXPECT_GE(failing.failures(), 1);
        }
        EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EIO)));
        EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("state.json")}) << "nothing left behind";
    }
    EXPECT_TRUE(AtomicFile::replace(path, "new"));
    EXPECT_EQ(readFile(path), "new");
}

// What a file that cannot be read holds was never read: replacing it would lose it.
TEST_F(AtomicFileTest, AFileThatCannotBeReadIsNotReplaced)
{
    QString error;
    {
        const UnreadableFile unreadable(path);
        EXPECT_FALSE(AtomicFile::replace(path, "new", &error));
    }
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EACCES)));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("state.json")});
}

// A file that cannot be moved aside leaves the earlier copies as they were: none is pushed out
// for a copy that never came.
TEST_F(AtomicFileTest, AFileThatCannotBeMovedAsideCostsNoEarlierCopy)
{
    for (const char* suffix : {".damaged", ".damaged-2", ".damaged-3"}) {
        ASSERT_TRUE(AtomicFile::replace(path + QLatin1String(suffix), suffix));
    }
    const QStringList before = folderEntries();
    EXPECT_EQ(AtomicFile::moveAside(path + QStringLiteral(".missing")), QString());
    EXPECT_EQ(folderEntries(), before);
    EXPECT_EQ(readFile(path + QStringLiteral(".damaged-3")), ".damaged-3");
}

} // namespace
