#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/FullFileSystem.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
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
    QString file() const { return folder() + QStringLiteral("/standard.json"); }
    QStringList folderEntries() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    void writeFile(const QByteArray& bytes) const
    {
        QDir().mkpath(folder());
        QFile out(file());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
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

TEST_F(UserDefaultsTest, WritesAtomicallyIntoAFolderItCreates)
{
    UserDefaults defaults(QStringLiteral("analytics"));
    EXPECT_FALSE(QFileInfo::exists(folder()));
    defaults.setString(QStringLiteral("a"), QStringLiteral("b"));
    defaults.setString(QStringLiteral("a"), QStringLiteral("c"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("analytics.json")});
    // Other users of the machine read neither the folder nor the file.
    EXPECT_EQ(QFileInfo(folder()).permissions() & kEveryone, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QFileInfo(file().replace(QStringLiteral("standard"), QStringLiteral("analytics"))).permissions() & kEveryone,
        QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(UserDefaultsTest, AFolderMadeByAnEarlierVersionIsClosedAtTheNextWrite)
{
    QDir().mkpath(folder());
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    writeFile("{}");
    QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    UserDefaults defaults;
    defaults.setBool(QStringLiteral("startOnLoginEnabled"), true);
    EXPECT_EQ(QFileInfo(folder()).permissions() & kEveryone, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QFileInfo(file()).permissions() & kEveryone, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(UserDefaultsTest, DamagedFilesAreMovedAsideAndKept)
{
    const QByteArray damaged[] = {"{\"a\": {\"type\": \"string\", \"value\": \"x\"", "[1, 2]", "", "\xff\xfe"};
    for (const QByteArray& bytes : damaged) {
        writeFile(bytes);
        LogCapture log;
        UserDefaults defaults;
        EXPECT_TRUE(defaults.keys().isEmpty());
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines().at(0).startsWith(QStringLiteral("⚠️ [UserDefaults] Damaged file ") + file()));
        defaults.setBool(QStringLiteral("fresh"), true);
        EXPECT_TRUE(UserDefaults().boolean(QStringLiteral("fresh")));
    }
    // The last three damaged files are still there, none overwritten by the next; the oldest went.
    QStringList aside = QDir(folder()).entryList({QStringLiteral("standard.json.damaged-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 3);
    QStringList contents;
    for (const QString& name : aside) {
        QFile in(folder() + QLatin1Char('/') + name);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        contents << QString::fromLatin1(in.readAll().toHex());
    }
    for (const QByteArray& bytes : damaged)
        EXPECT_EQ(contents.contains(QString::fromLatin1(bytes.toHex())), &bytes != &damaged[0]) << bytes.toStdString();
}

TEST_F(UserDefaultsTest, UnreadableEntriesAreSkippedButKeptInTheFile)
{
    writeFile(R"({"good": {"type": "integer", "value": 5},
                  "future": {"type": "colour", "value": "#fff"},
                  "broken": {"type": "bool", "value": 1},
                  "bare": 3})");
    LogCapture log;
    {
        UserDefaults defaults;
        EXPECT_EQ(defaults.keys(), QStringList{QStringLiteral("good")});
        EXPECT_EQ(defaults.integer(QStringLiteral("good")), 5);
        EXPECT_TRUE(log.contains(QStringLiteral("future.type: unknown type \"colour\"")));
        EXPECT_TRUE(log.contains(QStringLiteral("broken.value: expected a boolean, found a number")));
        EXPECT_TRUE(log.contains(QStringLiteral("bare: expected an object, found a number")));
        defaults.setInteger(QStringLiteral("good"), 6);
        defaults.setString(QStringLiteral("broken"), QStringLiteral("now fine"));
    }
    log.clear();
    const UserDefaults reloaded;
    EXPECT_EQ(reloaded.integer(QStringLiteral("good")), 6);
    EXPECT_EQ(reloaded.string(QStringLiteral("broken")), "now fine");
    EXPECT_TRUE(log.contains(QStringLiteral("unknown type \"colour\"")));
    EXPECT_TRUE(log.contains(QStringLiteral("bare: expected an object")));
}

TEST_F(UserDefaultsTest, ADamagedFileKeepsEveryEntryThatStillReads)
{
    const QByteArray whole = R"({"startOnLoginEnabled": {"type": "bool", "value": true},
        "wallpaperPlaylists": {"type": "data", "value": "W10="},
        "future": {"type": "colour", "value": "#fff"},
        "hasLaunchedBefore": {"type": "bool", "value": true}})";
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList readable; // sorted
    };
    const Case cases[] = {
        {"cut short in the last entry", whole.left(whole.indexOf("\"hasLaunchedBefore\"") + 30),
            {QStringLiteral("startOnLoginEnabled"), QStringLiteral("wallpaperPlaylists")}},
        {"garbled in the middle", QByteArray(whole).replace("\"data\", \"value\"", "\"data\" \x01\"value\""),
            {QStringLiteral("hasLaunchedBefore"), QStringLiteral("startOnLoginEnabled")}},
        {"a byte that is no UTF-8", QByteArray(whole).replace("#fff", "#\xff\xff"),
            {QStringLiteral("hasLaunchedBefore"), QStringLiteral("startOnLoginEnabled"), QStringLiteral("wallpaperPlaylists")}},
    };
    const auto sortedKeys = [](const UserDefaults& defaults) {
        QStringList keys = defaults.keys();
        keys.sort();
        return keys;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        writeFile(c.bytes);
        EXPECT_EQ(sortedKeys(UserDefaults()), c.readable);
        // The salvaged entries are in a new file at once, the damaged one beside it as it was.
        const QStringList aside = QDir(folder()).entryList({QStringLiteral("standard.json.damaged-*")}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        QFile copy(folder() + QLatin1Char('/') + aside.first());
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), c.bytes);
        const UserDefaults reloaded;
        EXPECT_EQ(sortedKeys(reloaded), c.readable);
        EXPECT_TRUE(reloaded.hasDamagedCopies());
    }
}

// A bad Base64 character, a number under a "data" tag, a type this version does not know.
TEST_F(UserDefaultsTest, AnUnreadableEntryIsToldApartFromAnAbsentOne)
{
    writeFile(R"({"bad": {"type": "data", "value": "W1*="}, "number": {"type": "data", "value": 5},
                  "unknown": {"type": "colour", "value": "#fff"}, "good": {"type": "integer", "value": 1}})");
    UserDefaults defaults;
    for (const QString& key : {QStringLiteral("bad"), QStringLiteral("number"), QStringLiteral("unknown")})
        EXPECT_TRUE(defaults.isUnreadable(key) && !defaults.contains(key)) << key.toStdString();
    EXPECT_FALSE(defaults.isUnreadable(QStringLiteral("good")));
    EXPECT_FALSE(defaults.isUnreadable(QStringLiteral("absent")));
    EXPECT_TRUE(defaults.copyEntry(QStringLiteral("bad"), QStringLiteral("bad.backup")));
    EXPECT_FALSE(defaults.copyEntry(QStringLiteral("absent"), QStringLiteral("absent.backup")));
    defaults.setData(QStringLiteral("bad"), "fresh");
    EXPECT_TRUE(UserDefaults().isUnreadable(QStringLiteral("bad.backup")));
    EXPECT_FALSE(defaults.hasDamagedCopies());
}

// The disk refuses the write, then takes it again: the changes of the meantime land on disk,
// and the failure is announced once per reason.
TEST_F(UserDefaultsTest, AFailedWriteIsAnnouncedOnceAndLandsWhenTheDiskIsBack)
{
    struct Case {
        const char* name;
        std::function<void()> block;
        std::function<void()> unblock;
        const char* reason;
    };
    const Case cases[] = {
        {"a file where the folder goes",
            [&] {
                QDir().mkpath(Paths::configuration());
                QFile blocker(folder());
                ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            },
            [&] { QFile::remove(folder()); }, "is a file, not a folder"},
        {"a read-only folder",
            [&] {
                QDir().mkpath(folder());
                QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
            },
            [&] { QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }, "ermission"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        QFile::remove(folder());
        c.block();
        if (QFileInfo(folder()).isDir() && QFileInfo(folder()).isWritable()) {
            c.unblock();
            continue; // the superuser writes into a read-only folder all the same
        }
        LogCapture log;
        UserDefaults defaults;
        QSignalSpy failed(&defaults, &UserDefaults::saveFailed);
        defaults.setString(QStringLiteral("savedWallpaperKey"), QStringLiteral("42"));
        defaults.setBool(QStringLiteral("startOnLoginEnabled"), true);
        EXPECT_EQ(defaults.string(QStringLiteral("savedWallpaperKey")), "42");
        EXPECT_TRUE(defaults.hasUnsavedChanges());
        ASSERT_EQ(failed.size(), 1) << "one announcement per reason";
        EXPECT_TRUE(failed.first().at(1).toString().contains(QString::fromUtf8(c.reason))) << failed.first().at(1).toString().toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("❌ [UserDefaults] Could not write ") + file()));

        c.unblock();
        ASSERT_EVENTUALLY(!defaults.hasUnsavedChanges(), 3 * UserDefaults::kRetryMs);
        UserDefaults reread;
        EXPECT_EQ(reread.string(QStringLiteral("savedWallpaperKey")), "42");
        EXPECT_TRUE(reread.boolean(QStringLiteral("startOnLoginEnabled")));
        EXPECT_TRUE(log.contains(QStringLiteral("✅ [UserDefaults] Wrote ") + file() + QStringLiteral(" again")));
    }
}

// A store that holds a long list writes behind: a change returns before its write, the changes
// made meanwhile land in one more write, and a flush (the quit) or the store's end waits for
// what is still to be written.
TEST_F(UserDefaultsTest, ALargeStoreWritesBehindAndLosesNoChange)
{
    const QString list = QStringLiteral("likedWallpapersModels");
    const QString count = QStringLiteral("count");
    const QByteArray liked(UserDefaults::kWriteBehindBytes + 1, 'x');
    {
        UserDefaults defaults;
        defaults.setData(list, liked);
        EXPECT_TRUE(defaults.isWriting()) << "the change waited for the disk";
        for (int n = 1; n <= 5; ++n)
            defaults.setInteger(count, n);
        ASSERT_EVENTUALLY(!defaults.isWriting(), 30'000);
        const UserDefaults written;
        EXPECT_EQ(written.data(list), liked);
        EXPECT_EQ(written.integer(count), 5) << "the changes made during the write came in the next";

        defaults.setInteger(count, 6);
        defaults.setInteger(count, 7);
        defaults.flush();
        EXPECT_FALSE(defaults.isWriting());
        EXPECT_EQ(UserDefaults().integer(count), 7) << "a flush returns with everything written";
        defaults.setInteger(count, 8);
    }
    EXPECT_EQ(UserDefaults().integer(count), 8) << "the store's end waits for its write";
}

// SIGKILL while a long list is being written, at several moments of the write: the next start
// finds the file as it was before the write or after it, whole, and nothing beside it.
TEST_F(UserDefaultsTest, AKillDuringAWriteLeavesTheOldOrTheNewFileWhole)
{
    const QString list = QStringLiteral("likedWallpapersModels");
    // Decoded at once at the start (the forked child has no worker threads of the parent's).
    const QByteArray before(2 << 20, 'a');
    const QByteArray after(2 << 20, 'b');
    UserDefaults(UserDefaults::kStandardDomain).setData(list, before);
    for (const int delayMs : {0, 5, 20, 60}) {
        SCOPED_TRACE(delayMs);
        EXPECT_EXIT(
            {
                UserDefaults defaults;
                // An earlier kill may have come after its write: this one writes the other value.
                defaults.setData(list, defaults.data(list) == after ? before : after);
                if (!defaults.isWriting())
                    std::_Exit(3);
                QThread::msleep(delayMs);
                ::kill(::getpid(), SIGKILL);
            },
            ::testing::KilledBySignal(SIGKILL), "");
        const UserDefaults reread;
        const QByteArray stored = reread.data(list);
        EXPECT_TRUE(stored == before || stored == after) << stored.size() << " bytes";
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("standard.json")});
    }
}

// A long data value is read apart from the rest of the file; what it holds, and every other
// entry, comes back as the whole file would give it, and a long value that is not good data is
// read and kept the usual way.
TEST_F(UserDefaultsTest, ALongDataValueReadsAsTheWholeFileWould)
{
    const QByteArray longData(UserDefaults::kLongDataBytes, '\x07');
    const QByteArray longBase64 = longData.toBase64();
    struct Case {
        const char* name;
        QByteArray file;
        std::function<void(const UserDefaults&)> check;
    };
    const Case cases[] = {
        {"data among small values",
            "{\"flag\":{\"type\":\"bool\",\"value\":true},\"list\":{\"type\":\"data\",\"value\":\"" + longBase64
                + "\"},\"name\":{\"type\":\"string\",\"value\":\"a \\\"quoted\\\" name\"}}",
            [&](const UserDefaults& defaults) {
                EXPECT_EQ(defaults.data(QStringLiteral("list")), longData);
                EXPECT_TRUE(defaults.boolean(QStringLiteral("flag")));
                EXPECT_EQ(defaults.string(QStringLiteral("name")), "a \"quoted\" name");
            }},
        {"two long values, one of them text",
            "{\"list\":{\"type\":\"data\",\"value\":\"" + longBase64 + "\"},\"text\":{\"type\":\"string\",\"value\":\"" + longBase64 + "\"}}",
            [&](const UserDefaults& defaults) {
                EXPECT_EQ(defaults.data(QStringLiteral("list")), longData);
                EXPECT_EQ(defaults.string(QStringLiteral("text")), QString::fromLatin1(longBase64));
            }},
        {"long data that is not Base64",
            "{\"list\":{\"type\":\"data\",\"value\":\"" + longBase64 + "!\"},\"n\":{\"type\":\"integer\",\"value\":3}}",
            [&](const UserDefaults& defaults) {
                EXPECT_TRUE(defaults.isUnreadable(QStringLiteral("list")));
                EXPECT_EQ(defaults.integer(QStringLiteral("n")), 3);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.file);
        UserDefaults defaults;
        c.check(defaults);
        defaults.setInteger(QStringLiteral("later"), 1);
        defaults.flush();
        const UserDefaults reread;
        c.check(reread);
    }
}

// A data value its owner keeps: made piece by piece as a write needs it, in pieces of any size.
class PiecesSource : public UserDefaults::DataSource {
public:
    QByteArray value;
    QList<qsizetype> pieces; // sizes of the first pieces; the rest comes in one
    qsizetype hint = 0;

    Write snapshot() const override
    {
        return [value = value, pieces = pieces](const Append& append) {
            qsizetype at = 0;
            for (const qsizetype size : pieces) {
                const qsizetype taken = std::min(size, value.size() - at);
                append(QByteArrayView(value).sliced(at, taken));
                at += taken;
            }
            append(QByteArrayView(value).sliced(at));
        };
    }
    qsizetype sizeHint() const override { return hint; }
};

// Long data goes to the file in parts of whole Base64 groups, also when its owner hands it over
// in pieces that split the groups: the file holds the value's own Base64 whatever its size, and
// it reads back as it went in.
TEST_F(UserDefaultsTest, LongDataIsWrittenAsItsWholeBase64)
{
    constexpr qsizetype kPart = qsizetype(3) << 20;
    for (const qsizetype size : {kPart - 1, kPart, kPart + 1, 2 * kPart + 2}) {
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = char(i * 7 % 251);
        const auto source = std::make_shared<PiecesSource>();
        source->value = data;
        source->pieces = {1, 1, 0, 5, kPart - 4, 2};
        for (const bool fromSource : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << (fromSource ? " from a source" : " as data"));
            {
                UserDefaults defaults;
                if (fromSource)
                    defaults.setDataSource(QStringLiteral("list"), source);
                else
                    defaults.setData(QStringLiteral("list"), data);
                defaults.flush();
                QFile file(defaults.filePath());
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_TRUE(file.readAll().contains(QByteArray("\"value\":\"" + data.toBase64() + '"')));
            }
            const UserDefaults reread;
            EXPECT_EQ(reread.data(QStringLiteral("list")), data);
        }
    }
}

// A value kept by its owner reads and writes as the data it makes at that moment: each change the
// owner announces is written, a copy keeps the value of its moment, and an owner that takes over
// what is stored makes the store let go of the bytes without a write. A long one is written behind.
TEST_F(UserDefaultsTest, AValueKeptByItsOwnerIsWrittenFromItAndNotHeldTwice)
{
    const QString list = QStringLiteral("list");
    const auto source = std::make_shared<PiecesSource>();
    source->value = "first";
    source->pieces = {2};
    UserDefaults defaults;
    QSignalSpy changes(&defaults, &UserDefaults::valueChanged);
    defaults.setDataSource(list, source);
    EXPECT_EQ(UserDefaults().data(list), "first") << "a short value is written at once";
    EXPECT_EQ(changes.count(), 1);

    EXPECT_TRUE(defaults.copyEntry(list, QStringLiteral("list.backup")));
    source->value = "second";
    defaults.setDataSource(list, source);
    EXPECT_EQ(defaults.data(list), "second");
    EXPECT_EQ(UserDefaults().data(list), "second");
    EXPECT_EQ(UserDefaults().data(QStringLiteral("list.backup")), "first") << "the copy kept its moment's value";

    QByteArray stored("stored bytes");
    defaults.setData(QStringLiteral("other"), stored);
    const QByteArray fileBefore = readFile(file());
    changes.clear();
    source->value = QByteArray(stored.constData(), stored.size()); // the owner's form, apart
    defaults.keepDataIn(QStringLiteral("other"), source);
    EXPECT_TRUE(stored.isDetached()) << "the store still holds the bytes the owner now keeps";
    EXPECT_EQ(readFile(file()), fileBefore);
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_EQ(defaults.data(QStringLiteral("other")), stored);
    defaults.keepDataIn(QStringLiteral("absent"), source);
    EXPECT_FALSE(defaults.contains(QStringLiteral("absent")));

    source->hint = UserDefaults::kWriteBehindBytes + 1;
    source->value = "third";
    defaults.setDataSource(list, source);
    EXPECT_TRUE(defaults.isWriting()) << "a long value waited for the disk";
    defaults.flush();
    EXPECT_EQ(UserDefaults().data(list), "third");
    EXPECT_EQ(UserDefaults().data(QStringLiteral("other")), "third") << "the owner's value, written with the file";
}

// A disk with no free block: a small file fails only as the write ends, a large one in the middle
// of it. Either way the old file stays whole and alone in its folder, the failure is told once,
// and the values land once there is room again.
TEST(UserDefaultsFullDiskTest, AWriteThatFindsNoRoomKeepsTheOldFileWhole)
{
    struct Case {
        const char* name;
        qsizetype bytes;
    };
    const Case cases[] = {{"a small file", 16}, {"a large file", 256 * 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FullFileSystem disk;
        const Paths::Override paths(disk.path());
        const QString folder = Paths::configuration() + QStringLiteral("/Quorvelle");
        const QString file = folder + QStringLiteral("/standard.json");
        UserDefaults defaults;
        defaults.setString(QStringLiteral("payload"), QString(c.bytes, u'a'));
        const QByteArray before = readFile(file);
        ASSERT_TRUE(before.contains(QByteArray(c.bytes, 'a')));

        disk.fill();
        LogCapture log;
        QSignalSpy failed(&defaults, &UserDefaults::saveFailed);
        defaults.setString(QStringLiteral("payload"), QString(c.bytes, u'b'));
        defaults.setBool(QStringLiteral("startOnLoginEnabled"), true);
        EXPECT_EQ(readFile(file), before);
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("standard.json")}) << "nothing half written is left behind";
        EXPECT_TRUE(defaults.hasUnsavedChanges());
        ASSERT_EQ(failed.size(), 1) << "one announcement per reason";
        const QString expected = disk.isTmpfs() ? QStringLiteral("No space left on device") : QStringLiteral("File too large");
        EXPECT_EQ(failed.first().at(1).toString(), expected);
        EXPECT_TRUE(log.contains(QStringLiteral("❌ [UserDefaults] Could not write ") + file));

        disk.free();
        ASSERT_EVENTUALLY(!defaults.hasUnsavedChanges(), 3 * UserDefaults::kRetryMs);
        const UserDefaults reread;
        EXPECT_EQ(reread.string(QStringLiteral("payload")), QString(c.bytes, u'b'));
        EXPECT_TRUE(reread.boolean(QStringLiteral("startOnLoginEnabled")));
    }
}

} // namespace
