#include "engine/StagedFile.h"

#include "foundation/CancelledError.h"
#include "support/Eventually.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

// Whether this process still holds a descriptor of `path`, removed or not.
bool descriptorOpen(const QString& path)
{
    const QString removed = path + QStringLiteral(" (deleted)");
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& entry : descriptors.entryInfoList(QDir::Files | QDir::System)) {
        const QString target = entry.symLinkTarget();
        if (target == path || target == removed)
            return true;
    }
    return false;
}

// How much of the first `bytes` of `path` the system holds in memory, or -1 where it cannot say.
qint64 residentBytes(const QString& path, qint64 bytes)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    void* mapped = ::mmap(nullptr, size_t(bytes), PROT_READ, MAP_SHARED, descriptor, 0);
    ::close(descriptor);
    if (mapped == MAP_FAILED)
        return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages(size_t((bytes + page - 1) / page));
    const bool known = ::mincore(mapped, size_t(bytes), pages.data()) == 0;
    ::munmap(mapped, size_t(bytes));
    qint64 resident = 0;
    for (const unsigned char state : pages)
        resident += (state & 1) ? page : 0;
    return known ? resident : -1;
}

void writeSource(const QString& path, int mibs)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int mib = 0; mib < mibs; ++mib)
        ASSERT_EQ(file.write(QByteArray(kMiB, char('a' + mib % 26))), kMiB);
}

} // namespace

TEST(StagedFileTest, ACopyRunsToItsEndOrStopsWithinAMiBLeavingNothing)
{
    TempFolder folder;
    const QString source = folder.file(QStringLiteral("source.mp4"));
    writeSource(source, 16);
    const struct {
        const char* name;
        bool stop;
    } cases[] = {{"left to finish", false}, {"stopped at its first report", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString destination = folder.file(QString::fromLatin1(c.name) + QStringLiteral(".mp4"));
        StagedFile staged(destination);
        QList<qint64> reports;
        const auto progress = [&](qint64 copied, qint64 total) {
            EXPECT_EQ(total, 16 * kMiB);
            reports.append(copied);
            return !c.stop;
        };
        if (c.stop) {
            EXPECT_THROW(staged.copyFrom(source, progress), CancelledError);
            ASSERT_EQ(reports.size(), 1) << "no block is copied after the stop is seen";
            EXPECT_LE(reports.first(), kMiB) << "a stop waits for a MiB at most";
            // Gone while the object still lives: the stop does not wait for the disk.
            EXPECT_FALSE(QFileInfo::exists(staged.stagingPath()));
            EXPECT_FALSE(QFileInfo::exists(destination));
            // The file's last descriptor is closed off this thread, but it is closed.
            ASSERT_EVENTUALLY(!descriptorOpen(staged.stagingPath()), 10000);
        } else {
            staged.copyFrom(source, progress);
            staged.commit();
            EXPECT_EQ(reports.last(), 16 * kMiB);
            EXPECT_GE(reports.size(), 16) << "the copy reports at least every MiB";
            QFile copy(destination);
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
            QFile original(source);
            ASSERT_TRUE(original.open(QIODevice::ReadOnly));
            EXPECT_TRUE(copy.readAll() == original.readAll());
        }
    }
}

// A copy of gigabytes kept whole in memory pushed the rest of the system's files out of it, and
// a stop spent seconds freeing it: what the disk holds already leaves memory as the copy goes.
TEST(StagedFileTest, ALongCopyKeepsLittleOfItselfInMemory)
{
    TempFolder folder;
    struct statfs system {};
    ASSERT_EQ(::statfs(QFile::encodeName(folder.path()).constData(), &system), 0);
    if (system.f_type == TMPFS_MAGIC || system.f_type == RAMFS_MAGIC)
        GTEST_SKIP() << "a file in memory has no disk to leave it to";
    const QString source = folder.file(QStringLiteral("source.mp4"));
    writeSource(source, 96);
    StagedFile staged(folder.file(QStringLiteral("copy.mp4")));
    qint64 heldNearTheEnd = -1;
    staged.copyFrom(source, [&](qint64 copied, qint64) {
        if (heldNearTheEnd < 0 && copied >= 88 * kMiB)
            heldNearTheEnd = residentBytes(staged.stagingPath(), copied);
        return true;
    });
    ASSERT_GE(heldNearTheEnd, 0) << "the copy's pages could not be counted";
    EXPECT_LE(heldNearTheEnd, 24 * kMiB) << "of 88 MiB copied";
    staged.commit();
    QFile copy(staged.destination());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile original(source);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.readAll() == original.readAll());
}
