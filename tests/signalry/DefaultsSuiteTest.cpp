#include "FailingFileCall.h"
#include "LogLines.h"
#include "ManualClock.h"
#include "PassingFileFault.h"
#include "UnreadableFile.h"

#include "signalry/DefaultsSuite.h"
#include "signalry/FileNotices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

using namespace signalry;

namespace {

class DefaultsSuiteTest : public ::testing::Test {
protected:
    std::unique_ptr<DefaultsSuite> open() { return std::make_unique<DefaultsSuite>(path, logLines.handler()); }

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("config/com.signalry.test.json"));
    LogLines logLines;
};

TEST_F(DefaultsSuiteTest, ValuesKeepTheirTypesAcrossLaunches)
{
    {
        auto suite = open();
        suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
        suite->setInteger(QStringLiteral("deletedSessionsCount"), 9'007'199'254'740'993);
        suite->setStringList(QStringLiteral("distinctDaysUsed"), {QStringLiteral("2025-03-01"), QStringLiteral("2025-03-02")});
        suite->setData(QStringLiteral("lastTrial"), QByteArray("{\"productID\":\"x\"}\x00\xff", 20));
        suite->setString(QStringLiteral("gone"), QStringLiteral("soon"));
        suite->remove(QStringLiteral("gone"));
    }
    const auto reopened = open();
    EXPECT_EQ(reopened->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-02"));
    EXPECT_EQ(reopened->integer(QStringLiteral("deletedSessionsCount")), 9'007'199'254'740'993);
    EXPECT_EQ(reopened->stringList(QStringLiteral("distinctDaysUsed")),
              (QStringList{QStringLiteral("2025-03-01"), QStringLiteral("2025-03-02")}));
    EXPECT_EQ(reopened->data(QStringLiteral("lastTrial")), QByteArray("{\"productID\":\"x\"}\x00\xff", 20));
    EXPECT_FALSE(reopened->string(QStringLiteral("gone")));
    // A value read as the wrong type is missing, not converted.
    EXPECT_FALSE(reopened->integer(QStringLiteral("firstSessionDate")));
    EXPECT_FALSE(reopened->stringList(QStringLiteral("deletedSessionsCount")));
}

// Values of a file that does not read are kept aside, never written over; the next change
// starts a new file.
TEST_F(DefaultsSuiteTest, AFileThatDoesNotReadIsMovedAsideAndReplacedOnTheNextChange)
{
    QDir().mkpath(folder.filePath(QStringLiteral("config")));
    const QString aside = path + QStringLiteral(".damaged");
    struct Case {
        const char* name;
        QByteArray content;
        bool unreadable;
        QString logged;
    };
    const Case cases[] = {
        {"damaged", "{\"firstSessionDate\": \"2025", false, QStringLiteral("Analytics defaults file is damaged, moved aside to ")},
        {"unreadable", "{\"firstSessionDate\":\"2025-03-01\"}", true,
         QStringLiteral("Analytics defaults file cannot be read (Permission denied), moved aside to ")},
        // Whole and well formed, but no suite grows that large: it is not read into memory.
        {"too large", QByteArray("{\"firstSessionDate\":\"2025-03-01\"}").leftJustified(DefaultsSuite::kMaximumFileBytes + 1, ' '),
         false, QStringLiteral("Analytics defaults file is too large (%1 bytes), moved aside to ").arg(DefaultsSuite::kMaximumFileBytes + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        std::unique_ptr<DefaultsSuite> suite;
        {
            std::optional<UnreadableFile> unreadable;
            if (c.unreadable)
                unreadable.emplace(path);
            suite = open();
        }
        EXPECT_FALSE(suite->string(QStringLiteral("firstSessionDate")));
        EXPECT_TRUE(logLines.contains(c.logged + aside));
        suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
        suite.reset();
        EXPECT_EQ(open()->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-02"));
        ASSERT_TRUE(QFile::setPermissions(aside, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_EQ(readFile(aside), c.content);
        ASSERT_TRUE(QFile::remove(aside));
    }
}

// A file that cannot be moved aside (its folder takes no rename) says it stayed where it was,
// not that it was moved there, and is not written over.
TEST_F(DefaultsSuiteTest, AFileThatCouldNotBeMovedAsideSaysItStayed)
{
    const QString config = QFileInfo(path).absolutePath();
    QDir().mkpath(config);
    const QByteArray content = "{\"firstSessionDate\":\"2025-03-01\"}";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    ASSERT_TRUE(QFile::setPermissions(config, QFile::ReadOwner | QFile::ExeOwner));
    {
        const UnreadableFile unreadable(path);
        open()->waitForPendingWrites();
    }
    ASSERT_TRUE(QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(logLines.contains(
        QStringLiteral("Analytics defaults file cannot be read (Permission denied), not moved aside (the rename failed), left at ") + path));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(readFile(path), content);
}

// A file that fails to read for a passing reason stays where it is and is not written over; the
// writer reads it again before each write, and once it reads, its values win over those made
// without it meanwhile. The user is told once where it is.
TEST_F(DefaultsSuiteTest, APassingReadFailureKeepsTheFileInPlaceUntilItReads)
{
    const QByteArray content = "{\"firstSessionDate\":\"2025-03-01\"}";
    for (const PassingFileFault::Kind kind : PassingFileFault::kKinds) {
        SCOPED_TRACE(PassingFileFault::name(kind).toStdString());
        path = folder.filePath(PassingFileFault::name(kind) + QStringLiteral("/com.signalry.test.json"));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const QSignalSpy notices(&FileNotices::shared(), &FileNotices::fileKept);
        std::unique_ptr<DefaultsSuite> suite;
        {
            const PassingFileFault fault(kind, path);
            suite = open();
            EXPECT_FALSE(suite->string(QStringLiteral("firstSessionDate")));
            suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-09"));
            suite->setString(QStringLiteral("lastSessionDate"), QStringLiteral("2025-03-09"));
            suite->waitForPendingWrites();
        }
        EXPECT_EQ(readFile(path), content) << "neither moved nor written over";
        EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
        EXPECT_TRUE(logLines.contains(QStringLiteral("Error saving analytics defaults: the file in place is not read yet")));
        ASSERT_EQ(notices.count(), 1);
        EXPECT_EQ(notices[0], (QVariantList{path, path, false, PassingFileFault::reason(kind)}));

        suite->waitForPendingWrites();
        EXPECT_EQ(suite->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-01")) << "read again";
        suite.reset();
        const auto nextLaunch = open();
        EXPECT_EQ(nextLaunch->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-01"));
        EXPECT_EQ(nextLaunch->string(QStringLiteral("lastSessionDate")), QStringLiteral("2025-03-09"));
    }
}

// The background writer hears a failing close: the old file stays, and the reason is logged.
TEST_F(DefaultsSuiteTest, AWriteWhoseCloseFailsKeepsTheOldFile)
{
    auto suite = open();
    suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
    suite->waitForPendingWrites();
    const QByteArray before = readFile(path);
    {
        const FailingFileCall failing(FailingFileCall::Call::Close, QFileInfo(path).absolutePath(), EIO);
        suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-03"));
        suite->waitForPendingWrites();
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Error saving analytics defaults: ") + QString::fromLocal8Bit(std::strerror(EIO))));
}

// What reaches the disk after a first write: the file is removed, one change is made, and the
// file must (or must not) be there again before anything flushes the suite.
struct DiskWriteCase {
    const char* name;
    std::function<void(DefaultsSuite&, ManualClock&)> change;
    bool written;
};

class DefaultsSuiteDiskWriteTest : public DefaultsSuiteTest, public ::testing::WithParamInterface<DiskWriteCase> {};

TEST_P(DefaultsSuiteDiskWriteTest, WritesOnlyRealChangesAndLazyOnesLater)
{
    ManualClock clock;
    Clock::Override useClock(clock);
    auto suite = open();
    suite->setData(QStringLiteral("recentSessions"), QByteArray("[1]"));
    suite->waitForPendingWrites();
    ASSERT_TRUE(QFile::remove(path));

    GetParam().change(*suite, clock);
    if (GetParam().written) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path); }));
    } else {
        // Nothing was queued, so nothing can write the file now.
        EXPECT_FALSE(QFile::exists(path));
    }
    // A change, prompt or lazy, is on disk once the suite is flushed, as at exit.
    const QByteArray latest = suite->data(QStringLiteral("recentSessions")).value_or(QByteArray());
    suite.reset();
    if (latest != "[1]") {
        EXPECT_EQ(open()->data(QStringLiteral("recentSessions")), latest);
    }
}

using Write = DefaultsSuite::Write;
INSTANTIATE_TEST_SUITE_P(Changes, DefaultsSuiteDiskWriteTest, ::testing::Values(
    DiskWriteCase{"SameValueAgain", [](DefaultsSuite& suite, ManualClock&) {
        suite.setData(QStringLiteral("recentSessions"), QByteArray("[1]"));
    }, false},
    DiskWriteCase{"LazyChange", [](DefaultsSuite& suite, ManualClock& clock) {
        clock.advance(DefaultsSuite::kLazyWriteSeconds - 1);
        suite.setData(QStringLiteral("recentSessions"), QByteArray("[2]"), Write::Lazily);
    }, false},
    DiskWriteCase{"LazyChangeOnceTheFileIsOld", [](DefaultsSuite& suite, ManualClock& clock) {
        clock.advance(DefaultsSuite::kLazyWriteSeconds);
        suite.setData(QStringLiteral("recentSessions"), QByteArray("[2]"), Write::Lazily);
    }, true},
    DiskWriteCase{"LazyChangeCarriedByAPromptOne", [](DefaultsSuite& suite, ManualClock&) {
        suite.setData(QStringLiteral("recentSessions"), QByteArray("[2]"), Write::Lazily);
        suite.setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
    }, true},
    DiskWriteCase{"RemovingAMissingKey", [](DefaultsSuite& suite, ManualClock&) {
        suite.remove(QStringLiteral("lastTrial"));
    }, false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
