#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/FullFileSystem.h"
#include "support/RawDatabase.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <limits>

#include <unistd.h>

namespace {

// The owner, group and other rights (QFileInfo adds the "user" ones, which repeat the owner's).
constexpr QFile::Permissions kEveryone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
    | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

class UserDefaultsTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    QString file() const { return folder() + QStringLiteral("/standard.sqlite3"); }
    QStringList folderEntries() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    TempFolder temp_;
};

TEST_F(UserDefaultsTest, EveryTypeSurvivesAReloadFromDisk)
{
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    const QJsonArray array{1, QStringLiteral("two"), QJsonValue(qint64(9007199254740993))};
    const QJsonObject dictionary{{QStringLiteral("Display_1920x1080"), QJsonObject{{QStringLiteral("key"), 7}}}};
    {
        UserDefaults defaults;
        defaults.setData(QStringLiteral("data"), QByteArray("\x00\x01text", 6));
        defaults.setString(QStringLiteral("text"), QStringLiteral("dGV4dA=="));
        defaults.setInteger(QStringLiteral("big"), std::numeric_limits<qint64>::min());
        defaults.setInteger(QStringLiteral("odd"), (qint64(1) << 53) + 1);
        defaults.setDouble(QStringLiteral("whole"), 3.0);
        defaults.setDouble(QStringLiteral("infinite"), -HUGE_VAL);
        defaults.setBool(QStringLiteral("enableLockScreen"), true);
        defaults.setDate(QStringLiteral("when"), moment.toLocalTime());
        defaults.setArray(QStringLiteral("list"), array);
        defaults.setDictionary(QStringLiteral("savedPerMonitorWallpapers"), dictionary);
        defaults.setString(QStringLiteral("a \"quoted\\ key\" ü\n"), QStringLiteral("kept"));
    }
    const UserDefaults reloaded;
    EXPECT_EQ(reloaded.string(QStringLiteral("a \"quoted\\ key\" ü\n")), "kept");
    EXPECT_EQ(reloaded.data(QStringLiteral("data")), QByteArray("\x00\x01text", 6));
    EXPECT_EQ(reloaded.string(QStringLiteral("text")), "dGV4dA==");
    EXPECT_TRUE(reloaded.data(QStringLiteral("text")).isEmpty()) << "text must not come back as data";
    EXPECT_EQ(reloaded.integer(QStringLiteral("big")), std::numeric_limits<qint64>::min());
    EXPECT_EQ(reloaded.integer(QStringLiteral("odd")), (qint64(1) << 53) + 1);
    EXPECT_EQ(reloaded.doubleValue(QStringLiteral("whole")), 3.0);
    EXPECT_EQ(reloaded.integer(QStringLiteral("whole"), -1), -1) << "a double is not an integer";
    EXPECT_EQ(reloaded.doubleValue(QStringLiteral("infinite")), -HUGE_VAL);
    EXPECT_TRUE(reloaded.boolean(QStringLiteral("enableLockScreen")));
    EXPECT_EQ(reloaded.date(QStringLiteral("when")), moment);
    EXPECT_EQ(reloaded.array(QStringLiteral("list")), array);
    EXPECT_EQ(reloaded.dictionary(QStringLiteral("savedPerMonitorWallpapers")), dictionary);
    EXPECT_EQ(reloaded.keys().size(), 11);
}

TEST_F(UserDefaultsTest, GettersGiveTheFallbackForMissingOrOtherTypes)
{
    UserDefaults defaults(UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory);
    defaults.setString(QStringLiteral("key"), QStringLiteral("12"));
    EXPECT_EQ(defaults.integer(QStringLiteral("key")), 0);
    EXPECT_FALSE(defaults.boolean(QStringLiteral("key")));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("absent")));
    EXPECT_EQ(defaults.string(QStringLiteral("absent"), QStringLiteral("fallback")), "fallback");
    EXPECT_EQ(defaults.date(QStringLiteral("key")), std::nullopt);
    EXPECT_TRUE(defaults.contains(QStringLiteral("key")));
    defaults.remove(QStringLiteral("key"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("key")));
}

TEST_F(UserDefaultsTest, AnnouncesOnlyRealChanges)
{
    UserDefaults defaults(UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory);
    QSignalSpy spy(&defaults, &UserDefaults::valueChanged);
    defaults.setInteger(QStringLiteral("n"), 1);
    defaults.setInteger(QStringLiteral("n"), 1);
    defaults.setDouble(QStringLiteral("n"), 1.0); // same number, other type: a change
    defaults.remove(QStringLiteral("n"));
    defaults.remove(QStringLiteral("n"));
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(0).at(0).toString(), "n");
}

TEST_F(UserDefaultsTest, InMemoryStoreWritesNothing)
{
    UserDefaults defaults(UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory);
    defaults.setString(QStringLiteral("savedWallpaperKey"), QStringLiteral("7"));
    EXPECT_FALSE(QFileInfo::exists(folder()));
    EXPECT_EQ(defaults.string(QStringLiteral("savedWallpaperKey")), "7");
}

// Other users of the machine read neither the folder nor the database, nor its log; a folder an
// earlier version made readable to others is closed.
TEST_F(UserDefaultsTest, TheDatabaseIsItsOwnersAlone)
{
    const mode_t umask = ::umask(0);
    for (const bool earlierFolder : {false, true}) {
        SCOPED_TRACE(earlierFolder ? "an earlier version's open folder, under umask 000" : "a new folder, under umask 000");
        QDir(folder()).removeRecursively();
        if (earlierFolder) {
            QDir().mkpath(folder());
            QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                    | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        }
        UserDefaults defaults;
        defaults.setString(QStringLiteral("a"), QStringLiteral("b"));
        EXPECT_EQ(QFileInfo(folder()).permissions() & kEveryone, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString& name : folderEntries())
            EXPECT_EQ(QFileInfo(folder() + u'/' + name).permissions() & kEveryone, QFile::ReadOwner | QFile::WriteOwner)
                << name.toStdString();
        EXPECT_TRUE(folderEntries().contains(QStringLiteral("standard.sqlite3")));
        EXPECT_TRUE(folderEntries().contains(QStringLiteral("standard.sqlite3-wal")));
    }
    ::umask(umask);
}

// A file another local user planted in a settings folder an earlier version left open (or a
// link in a file's place) is never opened, imported, merged or written: it stays as it was, and
// the user is told which file and why.
TEST_F(UserDefaultsTest, FilesThatAreNotTheUsersAreNeverUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's files needs the superuser";
    constexpr uid_t kOtherUser = 65534;
    // A sound database of another user's, holding a value of theirs.
    const auto plantedDatabase = [](const QString& path) {
        TempFolder elsewhere;
        const Paths::Override paths(elsewhere.path());
        {
            UserDefaults theirs;
            theirs.setString(QStringLiteral("appearance"), QStringLiteral("planted"));
        }
        QFile::copy(Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3"), path);
    };
    struct Case {
        const char* name;
        const char* file;
        bool link;
        // The main database does not open while the planted file is there.
        bool mainRefused;
    };
    const Case cases[] = {
        {"another user's database", "standard.sqlite3", false, true},
        {"another user's log", "standard.sqlite3-wal", false, true},
        {"another user's log index", "standard.sqlite3-shm", false, true},
        {"a link in the database's place", "standard.sqlite3", true, true},
        {"another user's recovery database", "standard.recovery.sqlite3", false, false},
        {"another user's earlier settings file", "standard.json", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        QFile::setPermissions(folder(), kEveryone);
        const QString planted = folder() + u'/' + QString::fromLatin1(c.file);
        const QString target = temp_.file(QStringLiteral("target.sqlite3"));
        QFile::remove(target);
        if (QByteArray(c.file) == "standard.json") {
            ASSERT_TRUE(writeBytes(planted, R"({"appearance":{"type":"string","value":"planted"}})"));
        } else if (c.link) {
            plantedDatabase(target);
            ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(planted).constData()), 0);
        } else if (QByteArray(c.file).endsWith("sqlite3")) {
            plantedDatabase(planted);
        } else {
            ASSERT_TRUE(writeBytes(planted, QByteArray(4096, 'p')));
        }
        if (!c.link) {
            ASSERT_EQ(::chown(QFile::encodeName(planted).constData(), kOtherUser, kOtherUser), 0);
        }
        const QByteArray before = readFile(c.link ? target : planted);

        {
            UserDefaults defaults;
            EXPECT_NE(defaults.string(QStringLiteral("appearance")), QStringLiteral("planted"));
            EXPECT_EQ(defaults.awaitsFile(), c.mainRefused);
            EXPECT_TRUE(defaults.notice().contains(QString::fromLatin1(c.file))) << defaults.notice().toStdString();
            EXPECT_TRUE(defaults.notice().contains(QString::fromLatin1(c.link ? "is a symbolic link" : "belongs to another user")))
                << defaults.notice().toStdString();
            defaults.setString(QStringLiteral("afterwards"), QStringLiteral("mine"));
        }
        // The earlier settings file is kept renamed, as an imported one is.
        const QString kept = QByteArray(c.file) == "standard.json" ? planted + QStringLiteral(".imported") : planted;
        EXPECT_EQ(readFile(c.link ? target : kept), before) << "never written";
        EXPECT_EQ(QFileInfo(planted).isSymLink(), c.link);
    }
}

// What a setter stores is committed when it returns: another program reading the database finds
// it, before any quit.
TEST_F(UserDefaultsTest, AChangeIsCommittedWhenTheSetterReturns)
{
    UserDefaults defaults;
    defaults.setInteger(QStringLiteral("savedWallpaperKey"), 42);
    defaults.changeRows(QStringLiteral("likedWallpapersModels"), {{{QStringLiteral("7"), 0, R"({"key":7})"}}, {}});
    RawDatabase other(file(), SQLITE_OPEN_READONLY);
    EXPECT_EQ(other.text(QStringLiteral("SELECT entry FROM entries WHERE key = 'savedWallpaperKey'")), R"({"type":"integer","value":42})");
    EXPECT_EQ(other.text(QStringLiteral("SELECT record FROM rows WHERE list = 'likedWallpapersModels' AND key = '7'")), R"({"key":7})");
}

// Rows are put and removed by key; a list reads back in the order of its positions, whatever
// order the rows came in, and other lists are left alone.
TEST_F(UserDefaultsTest, RowsArePutAndRemovedByKeyAndReadInOrder)
{
    const QString liked = QStringLiteral("likedWallpapersModels");
    {
        UserDefaults defaults;
        ASSERT_TRUE(defaults.changeRows(liked, {{{QStringLiteral("3"), 30, "{\"key\":3}"}, {QStringLiteral("1"), 10, "{\"key\":1}"},
                                                  {QStringLiteral("2"), 20, "{\"key\":2}"}},
                                                   {}}));
        ASSERT_TRUE(defaults.changeRows(QStringLiteral("recents"), {{{QStringLiteral("2"), 0, "{\"key\":2}"}}, {}}));
        ASSERT_TRUE(defaults.changeRows(liked, {{{QStringLiteral("1"), 40, "{\"key\":1,\"title\":\"moved\"}"}}, {QStringLiteral("2")}}));
    }
    UserDefaults reloaded;
    const UserDefaults::StoredArray array = reloaded.storedArray(liked);
    EXPECT_EQ(array.keys, (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
    EXPECT_EQ(array.text, R"([{"key":3},{"key":1,"title":"moved"}])");
    EXPECT_EQ(reloaded.storedArray(QStringLiteral("recents")).keys, QStringList{QStringLiteral("2")});
    EXPECT_EQ(reloaded.storedArray(QStringLiteral("absent")).text, "[]");
}

// Entries this version cannot read are skipped with a line and kept in the database until their
// key is set; setting one replaces it.
TEST_F(UserDefaultsTest, UnreadableEntriesAreSkippedButKept)
{
    {
        UserDefaults created;
    }
    {
        RawDatabase raw(file());
        ASSERT_TRUE(raw.execute(QStringLiteral(R"(INSERT INTO entries(key, entry) VALUES
            ('good', '{"type": "integer", "value": 5}'), ('future', '{"type": "colour", "value": "#fff"}'),
            ('broken', '{"type": "bool", "value": 1}'), ('bare', '3'), ('bad', '{"type": "data", "value": "W1*="}'))")));
    }
    LogCapture log;
    {
        UserDefaults defaults;
        EXPECT_EQ(defaults.keys(), QStringList{QStringLiteral("good")});
        for (const QString& key : {QStringLiteral("future"), QStringLiteral("broken"), QStringLiteral("bare"), QStringLiteral("bad")})
            EXPECT_TRUE(defaults.isUnreadable(key) && !defaults.contains(key)) << key.toStdString();
        EXPECT_FALSE(defaults.isUnreadable(QStringLiteral("absent")));
        EXPECT_TRUE(log.contains(QStringLiteral("future.type: unknown type \"colour\"")));
        EXPECT_TRUE(log.contains(QStringLiteral("broken.value: expected a boolean, found a number")));
        defaults.setString(QStringLiteral("broken"), QStringLiteral("now fine"));
        EXPECT_FALSE(defaults.hasDamagedCopies());
    }
    const UserDefaults reloaded;
    EXPECT_EQ(reloaded.string(QStringLiteral("broken")), "now fine");
    EXPECT_TRUE(reloaded.isUnreadable(QStringLiteral("future")));
    EXPECT_TRUE(reloaded.isUnreadable(QStringLiteral("bad")));
}

// A change a full disk refuses is kept, told once per reason, reads as made, and lands once the
// disk has room again, with the changes made meanwhile, in order.
TEST(UserDefaultsFullDiskTest, ARefusedChangeIsKeptToldOnceAndLandsLater)
{
    struct Case {
        const char* name;
        qsizetype bytes;
    };
    const Case cases[] = {{"a small value", 16}, {"a large value", 256 * 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FullFileSystem disk;
        const Paths::Override paths(disk.path());
        UserDefaults defaults;
        defaults.setString(QStringLiteral("payload"), QString(c.bytes, u'a'));
        ASSERT_FALSE(defaults.hasUnsavedChanges());
        // The log copied into the file: filling the disk leaves it no room a checkpoint could free.
        defaults.flush();

        disk.fill();
        LogCapture log;
        QSignalSpy failed(&defaults, &UserDefaults::saveFailed);
        defaults.setString(QStringLiteral("payload"), QString(c.bytes, u'b'));
        defaults.setBool(QStringLiteral("startOnLoginEnabled"), true);
        defaults.changeRows(QStringLiteral("likedWallpapersModels"), {{{QStringLiteral("7"), 0, QByteArray(c.bytes, 'x')}}, {}});
        defaults.changeRows(QStringLiteral("likedWallpapersModels"), {{}, {QStringLiteral("7")}});
        EXPECT_TRUE(defaults.hasUnsavedChanges());
        EXPECT_EQ(defaults.string(QStringLiteral("payload")), QString(c.bytes, u'b'));
        ASSERT_EQ(failed.size(), 1) << "one announcement per reason";
        EXPECT_TRUE(log.contains(QStringLiteral("❌ [UserDefaults] Could not save to ")));

        disk.free();
        ASSERT_EVENTUALLY(!defaults.hasUnsavedChanges(), 10 * UserDefaults::kFirstRetryMs);
        UserDefaults reread;
        EXPECT_EQ(reread.string(QStringLiteral("payload")), QString(c.bytes, u'b'));
        EXPECT_TRUE(reread.boolean(QStringLiteral("startOnLoginEnabled")));
        EXPECT_TRUE(reread.storedArray(QStringLiteral("likedWallpapersModels")).keys.isEmpty()) << "the removal came last";
    }
}

// A disk that fills while the user likes wallpaper after wallpaper: every like the store called
// saved is there after the quit, once room is made, and the next launch saves again; a like
// that could not be saved was told at once, in the signal and in the notice, never in silence.
TEST_F(UserDefaultsTest, AFullDiskLosesNoSavedChangeAndTellsTheOthers)
{
    constexpr int kLikes = 1500;
    for (const int megabytes : {3, 8}) {
        SCOPED_TRACE(::testing::Message() << megabytes << " MiB");
        FullFileSystem disk(megabytes);
        if (!disk.isTmpfs())
            GTEST_SKIP() << "needs a tmpfs of its own (the superuser)";
        const Paths::Override paths(disk.path());
        QSet<QString> saved;
        int refused = 0;
        {
            UserDefaults defaults;
            QSignalSpy failed(&defaults, &UserDefaults::saveFailed);
            for (int like = 1; like <= kLikes; ++like) {
                const QString key = QString::number(1718000000000 + like);
                if (defaults.changeRows(QStringLiteral("likedWallpapersModels"), {{{key, like * kRowGap, QByteArray(700, 'r')}}, {}})) {
                    if (!defaults.hasUnsavedChanges())
                        saved.insert(key);
                } else {
                    ++refused;
                    EXPECT_FALSE(failed.isEmpty()) << "told at once, at like " << like;
                    EXPECT_FALSE(defaults.notice().isEmpty());
                }
            }
        }
        ASSERT_TRUE(disk.grow(64));
        UserDefaults next;
        for (int like = 1; like <= 10; ++like) {
            const QString key = QString::number(1718100000000 + like);
            EXPECT_TRUE(next.changeRows(QStringLiteral("likedWallpapersModels"), {{{key, like * kRowGap, QByteArray(700, 'n')}}, {}}));
            saved.insert(key);
        }
        const QStringList stored = next.storedArray(QStringLiteral("likedWallpapersModels")).keys;
        const QSet<QString> kept(stored.cbegin(), stored.cend());
        EXPECT_TRUE(saved.subtract(kept).isEmpty()) << saved.size() << " saved likes lost; " << refused << " refused";
    }
}

} // namespace
