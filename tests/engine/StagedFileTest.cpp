#include "engine/StagedFile.h"

#include "foundation/CancelledError.h"
#include "support/Eventually.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

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

} // namespace

TEST(StagedFileTest, ACopyRunsToItsEndOrStopsWithinAMiBLeavingNothing)
{
    TempFolder folder;
    const QString source = folder.file(QStringLiteral("source.mp4"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int mib = 0; mib < 16; ++mib)
            ASSERT_EQ(file.write(QByteArray(kMiB, char('a' + mib))), kMiB);
    }
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
