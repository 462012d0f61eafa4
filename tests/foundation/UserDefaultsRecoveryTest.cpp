#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/FullFileSystem.h"
#include "support/RawDatabase.h"
#include "support/SettingsReadFault.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

namespace {

const QString kLiked = QStringLiteral("likedWallpapersModels");
const QString kDisplays = QStringLiteral("savedPerMonitorWallpapers");

class UserDefaultsRecoveryTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    QString file() const { return folder() + QStringLiteral("/standard.sqlite3"); }

    // What the user had before the launch that cannot open it.
    void storeEarlierSession()
    {
        UserDefaults defaults;
        defaults.setString(QStringLiteral("kept"), QStringLiteral("from before"));
        defaults.setString(QStringLiteral("changed"), QStringLiteral("from before"));
        defaults.setString(QStringLiteral("removed"), QStringLiteral("from before"));
        defaults.changeRows(kLiked, {{{QStringLiteral("1"), 0, "{\"key\":1}"}, {QStringLiteral("2"), kRowGap, "{\"key\":2}"}}, {}});
        defaults.changeRows(kDisplays, {{{QStringLiteral("A"), 0, "{\"display\":\"A\"}"}}, {}});
    }
    // The session's changes while the database cannot be opened.
    static void changeMeanwhile(UserDefaults& defaults)
    {
        defaults.setString(QStringLiteral("changed"), QStringLiteral("meanwhile"));
        defaults.setString(QStringLiteral("new"), QStringLiteral("meanwhile"));
        defaults.remove(QStringLiteral("removed"));
        defaults.changeRows(kLiked, {{{QStringLiteral("3"), 0, "{\"key\":3}"}}, {QStringLiteral("1")}});
        defaults.changeRows(kDisplays, {{{QStringLiteral("B"), 0, "{\"display\":\"B\"}"}}, {}});
    }
    // Everything of before is there, with the session's changes merged by key.
    static void expectMerged(UserDefaults& defaults)
    {
        EXPECT_FALSE(defaults.awaitsFile());
        EXPECT_EQ(defaults.string(QStringLiteral("kept")), QStringLiteral("from before"));
        EXPECT_EQ(defaults.string(QStringLiteral("changed")), QStringLiteral("meanwhile"));
        EXPECT_EQ(defaults.string(QStringLiteral("new")), QStringLiteral("meanwhile"));
        EXPECT_FALSE(defaults.contains(QStringLiteral("removed")));
        EXPECT_EQ(defaults.storedArray(kLiked).keys, (QStringList{QStringLiteral("3"), QStringLiteral("2")}))
            << "the like in front, the unlike gone, the rest kept";
        QStringList displays = defaults.storedArray(kDisplays).keys;
        displays.sort();
        EXPECT_EQ(displays, (QStringList{QStringLiteral("A"), QStringLiteral("B")})) << "display A's record is not lost to B's";
    }

    TempFolder temp_;
};

// What stands in the way of opening the database, and how it goes away.
struct Obstacle {
    const char* name;
    std::function<std::shared_ptr<void>(const QString& file)> put;
};

const Obstacle kObstacles[] = {
    {"no free descriptor", [](const QString&) { return std::make_shared<SettingsReadFault>(EMFILE); }},
    {"an I/O error", [](const QString&) { return std::make_shared<SettingsReadFault>(EIO); }},
    {"a folder in its place",
        [](const QString& file) {
            QFile::rename(file, file + QStringLiteral(".away"));
            QDir().mkdir(file);
            return std::shared_ptr<void>(nullptr, [file](void*) {
                QDir().rmdir(file);
                QFile::rename(file + QStringLiteral(".away"), file);
            });
        }},
    {"a symbolic link in its place",
        [](const QString& file) {
            QFile::rename(file, file + QStringLiteral(".away"));
            QFile::link(file + QStringLiteral(".away"), file);
            return std::shared_ptr<void>(nullptr, [file](void*) {
                QFile::remove(file);
                QFile::rename(file + QStringLiteral(".away"), file);
            });
        }},
};

// The launch cannot open the database: the user is told while it lasts, the session's changes are
// kept in the recovery database, and once the database opens (the obstacle gone) they are merged
// into it by key, nothing of before lost.
TEST_F(UserDefaultsRecoveryTest, ChangesMadeWhileTheDatabaseCannotOpenAreMergedOnceItDoes)
{
    for (const Obstacle& obstacle : kObstacles) {
        SCOPED_TRACE(obstacle.name);
        QDir(folder()).removeRecursively();
        storeEarlierSession();
        const QByteArray before = readFile(file());
        std::shared_ptr<void> obstacleHeld = obstacle.put(file());
        UserDefaults defaults;
        ASSERT_TRUE(defaults.awaitsFile());
        ASSERT_TRUE(defaults.readTrouble());
        EXPECT_FALSE(defaults.readTrouble()->movedAside);
        EXPECT_FALSE(defaults.notice().isEmpty());
        EXPECT_FALSE(defaults.canDismissNotice());
        changeMeanwhile(defaults);
        EXPECT_TRUE(QFileInfo::exists(defaults.recoveryPath()));
        const QString held = QFileInfo::exists(file() + QStringLiteral(".away")) ? file() + QStringLiteral(".away") : file();
        EXPECT_EQ(readFile(held), before) << "nothing is written into what could not be opened";

        QSignalSpy opened(&defaults, &UserDefaults::fileRead);
        QSignalSpy notice(&defaults, &UserDefaults::noticeChanged);
        obstacleHeld.reset();
        ASSERT_TRUE(opened.wait(4 * UserDefaults::kFirstRetryMs) || opened.size() == 1);
        EXPECT_EQ(notice.size(), 1);
        EXPECT_TRUE(defaults.notice().isEmpty());
        expectMerged(defaults);
        EXPECT_FALSE(QFileInfo::exists(defaults.recoveryPath())) << "merged, it has nothing the main one lacks";
        EXPECT_FALSE(QFileInfo(file()).isSymLink());
        UserDefaults nextLaunch;
        expectMerged(nextLaunch);
    }
}

// A quit before the database opened keeps the session's changes in the recovery database, and
// the next launch that opens it merges them; a session that could not even open the recovery
// database keeps them in memory and writes them there at the quit.
TEST_F(UserDefaultsRecoveryTest, AQuitNeverDropsTheChangesMadeMeanwhile)
{
    for (const bool recoveryOpens : {true, false}) {
        SCOPED_TRACE(recoveryOpens ? "kept in the recovery database" : "kept in memory until the quit");
        QDir(folder()).removeRecursively();
        storeEarlierSession();
        {
            const QString recovery = folder() + QStringLiteral("/standard.recovery.sqlite3");
            const SettingsReadFault fault(EIO);
            if (!recoveryOpens)
                QDir().mkdir(recovery); // a folder where the recovery database goes
            UserDefaults defaults;
            ASSERT_TRUE(defaults.awaitsFile());
            changeMeanwhile(defaults);
            if (!recoveryOpens)
                QDir().rmdir(recovery);
            LogCapture lines;
            defaults.flush();
            EXPECT_EQ(lines.contains(QStringLiteral("Kept this session's unsaved changes in")), !recoveryOpens);
        }
        UserDefaults nextLaunch;
        expectMerged(nextLaunch);
    }
}

// Changes an earlier session kept in the recovery database that a launch could not merge (a full
// disk) are merged before anything this session changes: a later setting or like is never undone
// by an earlier one, whether room comes back in the session or only at the next launch.
TEST_F(UserDefaultsRecoveryTest, AChangeKeptEarlierNeverUndoesALaterOne)
{
    for (const bool roomInTheSession : {true, false}) {
        SCOPED_TRACE(roomInTheSession ? "room made in the session" : "room made after the quit");
        FullFileSystem disk(8);
        if (!disk.isTmpfs())
            GTEST_SKIP() << "needs a tmpfs of its own (the superuser)";
        const Paths::Override paths(disk.path());
        storeEarlierSession();
        {
            const SettingsReadFault fault(EIO);
            UserDefaults unopened;
            ASSERT_TRUE(unopened.awaitsFile());
            unopened.setString(QStringLiteral("appearance"), QStringLiteral("older"));
            SettingsChange::ListChange many{{}, {QStringLiteral("2")}};
            for (int key = 100; key < 400; ++key)
                many.put.append({QString::number(key), key * kRowGap, QByteArray(1000, 'k')});
            unopened.changeRows(kLiked, many);
        }
        ASSERT_TRUE(QFileInfo::exists(folder() + QStringLiteral("/standard.recovery.sqlite3")));
        // Room to open the database, not to merge 300 KB into it.
        disk.fill(96 * 1024);
        {
            UserDefaults session;
            EXPECT_FALSE(session.awaitsFile());
            session.setString(QStringLiteral("appearance"), QStringLiteral("newer"));
            session.changeRows(kLiked, {{{QStringLiteral("2"), 0, "{\"key\":2}"}}, {}});
            EXPECT_TRUE(session.hasUnsavedChanges());
            EXPECT_FALSE(session.notice().isEmpty()) << "told at once";
            if (roomInTheSession) {
                disk.free();
                ASSERT_EVENTUALLY(!session.hasUnsavedChanges(), 10 * UserDefaults::kFirstRetryMs);
            }
        }
        disk.free();
        UserDefaults next;
        if (roomInTheSession) {
            EXPECT_EQ(next.string(QStringLiteral("appearance")), QStringLiteral("newer"));
            EXPECT_TRUE(next.storedArray(kLiked).keys.contains(QStringLiteral("2")));
        } else {
            // The session's own changes could not be kept anywhere (and it said so); what was
            // kept earlier is merged now, over nothing newer.
            EXPECT_EQ(next.string(QStringLiteral("appearance")), QStringLiteral("older"));
        }
        EXPECT_FALSE(QFileInfo::exists(folder() + QStringLiteral("/standard.recovery.sqlite3")));
    }
}

// Another program holding the database's lock is a passing reason too: the launch does not wait
// for it for long, keeps the changes, and merges them once the lock is let go.
TEST_F(UserDefaultsRecoveryTest, ALockHeldByAnotherProgramIsWaitedOut)
{
    storeEarlierSession();
    auto other = std::make_unique<RawDatabase>(file());
    ASSERT_TRUE(other->execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE entries SET key = key;")));
    UserDefaults defaults;
    ASSERT_TRUE(defaults.awaitsFile());
    changeMeanwhile(defaults);
    QSignalSpy opened(&defaults, &UserDefaults::fileRead);
    ASSERT_TRUE(other->execute(QStringLiteral("COMMIT")));
    other.reset();
    ASSERT_TRUE(opened.wait(10 * UserDefaults::kFirstRetryMs) || opened.size() == 1);
    expectMerged(defaults);
}

} // namespace
