#include "FailingFileCall.h"
#include "LogLines.h"
#include "PassingFileFault.h"
#include "UnreadableFile.h"

#include "signalry/FileNotices.h"
#include "signalry/SignalCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "support/FileBytes.h"
#include "support/FullFileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace signalry;

namespace {

class SignalCacheTest : public ::testing::Test {
protected:
    std::unique_ptr<SignalCache> openCache()
    {
        auto cache = std::make_unique<SignalCache>(path, logLines.handler());
        cache->load();
        return cache;
    }

    static SignalPostBody record(int number)
    {
        return {QDateTime::fromSecsSinceEpoch(1'740'000'000 + number, Qt::UTC),
                QStringLiteral("app"),
                QStringLiteral("user"),
                QStringLiteral("SESSION"),
                QStringLiteral("Numbered"),
                number % 2 ? std::optional<double>(number) : std::nullopt,
                {{QStringLiteral("n"), QString::number(number)}},
                QStringLiteral("false")};
    }

    void writeFile(const QByteArray& content) { writeFile(path, content); }
    static void writeFile(const QString& file, const QByteArray& content)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("caches/signalrysignalcache"));
    LogLines logLines;
};

// The file holds what is not delivered yet, batches in flight first, until it is delivered.
TEST_F(SignalCacheTest, TheFileKeepsRecordsUntilTheyAreDelivered)
{
    auto cache = openCache();
    cache->pushSignals({record(1), record(2)});
    cache->pushSignal(record(3));
    const SignalCache::Batch sent = cache->popBatch();
    cache->pushSignal(record(4));
    cache->saveIfChanged();
    EXPECT_TRUE(logLines.lines().last().endsWith(QStringLiteral(" bytes of 4 signals")));
    EXPECT_EQ(openCache()->snapshot(), (QList<SignalPostBody>{record(1), record(2), record(3), record(4)}));
    EXPECT_TRUE(QFile::exists(path)) << "read, not consumed";
    EXPECT_TRUE(logLines.contains(QStringLiteral("Loading Signalry cache from: file://") + path));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Loaded 4 signals")));

    const qsizetype saves = logLines.count(QStringLiteral("Saved Signalry cache"));
    cache->saveIfChanged();
    EXPECT_EQ(logLines.count(QStringLiteral("Saved Signalry cache")), saves) << "nothing changed";

    EXPECT_EQ(cache->confirm(sent.id), 3);
    cache->saveIfChanged();
    EXPECT_EQ(openCache()->snapshot(), QList<SignalPostBody>{record(4)});
}

TEST_F(SignalCacheTest, AnUndeliveredBatchGoesBackBehindTheWaitingRecords)
{
    auto cache = openCache();
    cache->pushSignals({record(1), record(2)});
    const SignalCache::Batch sent = cache->popBatch();
    cache->pushSignal(record(3));
    EXPECT_EQ(cache->count(), 1);
    cache->requeue(sent.id);
    EXPECT_EQ(cache->snapshot(), (QList<SignalPostBody>{record(3), record(1), record(2)}));
    EXPECT_NE(cache->popBatch().id, sent.id) << "every batch has its own identity";
}

// Records pushed before the file was read stay behind the older ones from the file.
TEST_F(SignalCacheTest, RecordsPushedBeforeTheLoadFollowTheFilesRecords)
{
    {
        auto cache = openCache();
        cache->pushSignal(record(1));
        cache->saveToDisk();
    }
    SignalCache late(path, logLines.handler());
    late.pushSignal(record(2));
    late.load();
    late.load();
    EXPECT_EQ(late.snapshot(), (QList<SignalPostBody>{record(1), record(2)}));
}

TEST_F(SignalCacheTest, AFileBeyondTheSizeLimitIsMovedAsideUnread)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(SignalCache::kMaximumFileBytes + 1)); // sparse: no time spent writing it
    file.close();
    EXPECT_EQ(openCache()->count(), 0);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path + QStringLiteral(".damaged")).size(), SignalCache::kMaximumFileBytes + 1);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Signalry cache is too large (%1 bytes), moved aside to ")
                                      .arg(SignalCache::kMaximumFileBytes + 1)));
}

TEST_F(SignalCacheTest, EmptyCacheWritesAnEmptyArray)
{
    openCache()->saveToDisk();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[]"));
    file.close();
    EXPECT_EQ(openCache()->count(), 0);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Loaded 0 signals")));
}

// Each damaged file is kept beside the earlier ones, the newest first, three at most; the user
// is told once.
TEST_F(SignalCacheTest, DamagedFileIsMovedAsideAndTheCacheStartsEmpty)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QSignalSpy notices(&FileNotices::shared(), &FileNotices::fileKept);
    const QString stale = path + QStringLiteral(".damaged-5"); // numbered by an earlier version
    writeFile(stale, "stale");
    const QByteArray damaged[] = {QByteArray("[{\"type\": tru"), QByteArray("{\"not\": \"an array\"}"), QByteArray("\x00\xff", 2), QByteArray("[,]")};
    for (const QByteArray& text : damaged) {
        writeFile(path, text);
        const auto cache = openCache();
        EXPECT_EQ(cache->count(), 0);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(logLines.contains(QStringLiteral("Signalry cache is damaged (not a whole JSON array), moved aside to ") + path + QStringLiteral(".damaged")));
    }
    const QString asides[] = {path + QStringLiteral(".damaged"), path + QStringLiteral(".damaged-2"), path + QStringLiteral(".damaged-3")};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readFile(asides[i]), damaged[3 - i]);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 3) << "the oldest are gone";
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices[0], (QVariantList{path, asides[0], true, QStringLiteral("is damaged (not a whole JSON array)")}));
}

// A record that does not read is kept, with the file, aside; the next save holds the others.
TEST_F(SignalCacheTest, OneUnreadableRecordDoesNotCostTheOthers)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray text = "[" + record(1).toCacheJson() + ",{\"type\":5}," + record(2).toCacheJson() + "]";
    writeFile(text);
    const auto cache = openCache();
    EXPECT_EQ(cache->snapshot(), (QList<SignalPostBody>{record(1), record(2)}));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Skipped 1 unreadable signals")));
    QFile aside(path + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly)) << "the record that did not read is kept aside";
    EXPECT_EQ(aside.readAll(), text);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Signalry cache is damaged (1 unreadable records), moved aside to ")));

    cache->saveIfChanged();
    EXPECT_EQ(openCache()->snapshot(), (QList<SignalPostBody>{record(1), record(2)})) << "written anew at once";
}

TEST_F(SignalCacheTest, AGarbledRecordCostsOnlyItself)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray one = record(1).toCacheJson();
    const QByteArray two = record(2).toCacheJson();
    const QByteArray three = record(3).toCacheJson();
    SignalPostBody quoted = record(4);
    quoted.payload.insert(QStringLiteral("screen"), QStringLiteral("27\" wide, [4K] {\\}"));
    const QByteArray four = quoted.toCacheJson();
    struct Case {
        const char* name;
        QByteArray text;
        QList<SignalPostBody> kept;
    };
    const Case cases[] = {
        {"broken value", "[" + one + ",{\"type\": tru}," + two + "]", {record(1), record(2)}},
        {"stray bytes", "[" + one + ",\x01\xff garbage," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"brace in a string", "[" + one + ",{\"type\":\"}{[\",oops}," + two + "]", {record(1), record(2)}},
        {"cut short", "[" + one + "," + two + "," + three.left(three.size() / 2), {record(1), record(2)}},
        {"escaped quote in a string", "[" + four + ",{\"type\": tru}," + two + "]", {quoted, record(2)}},
        {"lost its brace", "[" + one + ",{\"type\":\"lost its brace\"," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"lost its brace before a line break", "[" + one + ",{\"type\":\"x\",\n  " + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"lost a brace inside", "[" + one + "," + QByteArray(two).remove(two.indexOf('}'), 1) + "," + three + "]", {record(1), record(3)}},
        {"lost its brace at the end", "[" + one + "," + two + ",{\"type\":\"x\"]", {record(1), record(2)}},
        {"a stray closing brace", "[" + one + ",{\"type\":5}}," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"a bracket closed by a brace", "[" + one + ",{\"type\":[\"x\"}," + two + "]", {record(1), record(2)}},
        {"a value lost its closing quote", "[" + one + ",{\"type\":\"x,\"n\":\"1\"}," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"a last value lost its closing quote", "[" + one + ",{\"type\":\"x}," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"a name lost its closing quote", "[" + one + ",{\"type:\"x\"}," + two + "," + three + "]", {record(1), record(2), record(3)}},
        {"an escaped quote, then a lost one", "[" + four + ",{\"type\":\"a \\\" b}," + two + "]", {quoted, record(2)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.text);
        EXPECT_EQ(openCache()->snapshot(), c.kept);
        const QString aside = path + QStringLiteral(".damaged");
        EXPECT_EQ(readFile(aside), c.text) << "the damaged file is kept aside";
        QFile::remove(aside);
    }
    EXPECT_EQ(logLines.count(QStringLiteral("Skipped 1 unreadable signals")), static_cast<qsizetype>(std::size(cases)));
}

// A file that fails to read for a passing reason stays where it is, unread and never written over,
// and is read again by a later save, which keeps its records and the new ones: nothing is moved
// aside or lost. The user is told once where it is.
TEST_F(SignalCacheTest, APassingReadFailureKeepsTheFileInPlaceUntilItReads)
{
    for (const PassingFileFault::Kind kind : PassingFileFault::kKinds) {
        SCOPED_TRACE(PassingFileFault::name(kind).toStdString());
        path = folder.filePath(PassingFileFault::name(kind) + QStringLiteral("/signalrysignalcache"));
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray text = SignalPostBody::encodeCacheList(QList<SignalPostBody>{record(1), record(2)});
        writeFile(text);
        const QSignalSpy notices(&FileNotices::shared(), &FileNotices::fileKept);
        SignalCache cache(path, logLines.handler());
        {
            const PassingFileFault fault(kind, path);
            cache.load();
            cache.pushSignal(record(3));
            cache.saveIfChanged();
            cache.saveIfChanged();
        }
        EXPECT_EQ(cache.count(), 1);
        EXPECT_EQ(readFile(path), text) << "neither moved nor written over";
        EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
        ASSERT_EQ(notices.count(), 1);
        EXPECT_EQ(notices[0], (QVariantList{path, path, false, PassingFileFault::reason(kind)}));

        cache.saveIfChanged();
        EXPECT_EQ(cache.snapshot(), (QList<SignalPostBody>{record(1), record(2), record(3)})) << "read again";
        EXPECT_EQ(openCache()->snapshot(), (QList<SignalPostBody>{record(1), record(2), record(3)})) << "and saved";
    }
}

// Long payloads make a long file of few records: every one of them is kept to be sent.
TEST_F(SignalCacheTest, ALongFileOfLongRecordsIsReadWhole)
{
    QList<SignalPostBody> records;
    for (int i = 0; i < 1'320; ++i) {
        records.append(record(i));
        records.last().payload.insert(QStringLiteral("trace"), QString(40'000, QLatin1Char('a' + i % 26)));
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(SignalPostBody::encodeCacheList(records));
    ASSERT_GT(QFileInfo(path).size(), 50 << 20);
    const auto cache = openCache();
    EXPECT_EQ(cache->snapshot(), records);
    EXPECT_TRUE(QFile::exists(path));
}

// A disk with no free block: the old file stays whole, the records stay in memory and land once
// there is room.
TEST_F(SignalCacheTest, ASaveThatFindsNoRoomKeepsTheOldFileWhole)
{
    FullFileSystem disk;
    const QString onDisk = disk.path() + QStringLiteral("/signalrysignalcache");
    SignalCache cache(onDisk, logLines.handler());
    cache.load();
    cache.pushSignal(record(1));
    cache.saveToDisk();
    const QByteArray before = readFile(onDisk);

    disk.fill();
    cache.pushSignal(record(2));
    cache.saveIfChanged();
    EXPECT_EQ(readFile(onDisk), before);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Error saving Signalry cache")));
    EXPECT_EQ(cache.count(), 2);

    disk.free();
    cache.saveIfChanged();
    SignalCache reread(onDisk, logLines.handler());
    reread.load();
    EXPECT_EQ(reread.snapshot(), (QList<SignalPostBody>{record(1), record(2)}));
}

// A device that fails the sync: the old file stays whole and the records land once it works.
TEST_F(SignalCacheTest, ASaveWhoseSyncFailsKeepsTheOldFileWhole)
{
    auto cache = openCache();
    cache->pushSignal(record(1));
    cache->saveToDisk();
    const QByteArray before = readFile(path);
    cache->pushSignal(record(2));
    {
        const FailingFileCall failing(FailingFileCall::Call::Fsync, QFileInfo(path).absolutePath(), EIO);
        cache->saveIfChanged();
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Error saving Signalry cache")));
    cache->saveIfChanged();
    EXPECT_EQ(openCache()->snapshot(), (QList<SignalPostBody>{record(1), record(2)}));
}

// Records of a file that cannot be read were never read: the file is moved aside, or, where it
// cannot be, left as it is; it is never written over.
TEST_F(SignalCacheTest, AFileThatCannotBeReadIsNeverWrittenOver)
{
    const QString caches = QFileInfo(path).absolutePath();
    QDir().mkpath(caches);
    const QByteArray text = SignalPostBody::encodeCacheList(QList<SignalPostBody>{record(1), record(2)});
    const QString aside = path + QStringLiteral(".damaged");
    for (const bool folderWritable : {true, false}) {
        SCOPED_TRACE(folderWritable ? "moved aside" : "left where it is");
        writeFile(text);
        if (!folderWritable) {
            ASSERT_TRUE(QFile::setPermissions(caches, QFile::ReadOwner | QFile::ExeOwner));
        }
        {
            const UnreadableFile unreadable(path);
            auto cache = openCache();
            EXPECT_EQ(cache->count(), 0);
            cache->pushSignal(record(3));
            cache->saveIfChanged();
        }
        ASSERT_TRUE(QFile::setPermissions(caches, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString kept = folderWritable ? aside : path;
        EXPECT_TRUE(logLines.contains(QStringLiteral("Signalry cache cannot be read (Permission denied), ")
            + (folderWritable ? QStringLiteral("moved aside to ") + aside : QStringLiteral("not moved aside (the rename failed), left at ") + path)));
        ASSERT_TRUE(QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_EQ(readFile(kept), text);
        if (folderWritable) {
            EXPECT_EQ(openCache()->snapshot(), QList<SignalPostBody>{record(3)}) << "new records are saved beside it";
        }
    }
    EXPECT_EQ(logLines.count(QStringLiteral("Error saving Signalry cache")), 1) << "only where it was left";
}

TEST_F(SignalCacheTest, TheFileAndTheFolderMadeForItAreTheOwnersAlone)
{
    auto cache = openCache();
    cache->pushSignal(record(1));
    cache->saveToDisk();
    const auto rights = [](const QString& file) {
        return QFileInfo(file).permissions()
            & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
                | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    };
    EXPECT_EQ(rights(path), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(rights(QFileInfo(path).absolutePath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SignalCacheTest, HoldsAtMostTenThousandDroppingTheOldest)
{
    auto cache = openCache();
    for (int i = 0; i < SignalCache::kMaximumNumberOfSignals; ++i)
        cache->pushSignal(record(i));
    cache->pushSignals({record(-1), record(-2)});
    EXPECT_EQ(cache->count(), SignalCache::kMaximumNumberOfSignals);
    EXPECT_EQ(cache->popBatch().records.first(), record(2));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Signalry cache is full, dropped the 2 oldest signals")));
}

TEST_F(SignalCacheTest, ALongerFileLoadsAndSavesOnlyItsNewestTenThousand)
{
    QList<SignalPostBody> many;
    for (int i = 0; i < SignalCache::kMaximumNumberOfSignals + 2; ++i)
        many.append(record(i));
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(SignalPostBody::encodeCacheList(many));
    const auto loaded = openCache();
    EXPECT_EQ(loaded->count(), SignalCache::kMaximumNumberOfSignals);
    EXPECT_EQ(loaded->popBatch().records.first(), record(2));

    loaded->saveToDisk();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray saved = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_EQ(saved.size(), SignalCache::kMaximumNumberOfSignals);
    EXPECT_EQ(SignalPostBody::fromCacheJson(saved.first()), record(2));
}

TEST_F(SignalCacheTest, BatchesAreTheOldestHundred)
{
    auto cache = openCache();
    for (int i = 0; i < 250; ++i)
        cache->pushSignal(record(i));
    EXPECT_EQ(cache->popBatch().records.size(), 100);
    const QList<SignalPostBody> second = cache->popBatch().records;
    EXPECT_EQ(second.first(), record(100));
    EXPECT_EQ(cache->popBatch().records.size(), 50);
    EXPECT_TRUE(cache->popBatch().records.isEmpty());
}

TEST_F(SignalCacheTest, FailedSaveKeepsTheRecords)
{
    // A file where the Caches folder should be: nothing can be written below it.
    QFile blocker(folder.filePath(QStringLiteral("caches")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto cache = openCache();
    cache->pushSignal(record(1));
    cache->saveToDisk();
    EXPECT_TRUE(logLines.contains(QStringLiteral("Error saving Signalry cache")));
    EXPECT_EQ(cache->count(), 1);
}

TEST_F(SignalCacheTest, ACacheReplacedInTheSameRunDoesNotOverwriteTheOther)
{
    const auto first = SignalCache::open(path, logLines.handler());
    const auto second = SignalCache::open(path, logLines.handler());
    EXPECT_EQ(first, second) << "one file, one cache";
    first->pushSignal(record(1));
    second->pushSignal(record(2));
    first->saveIfChanged();
    second->saveToDisk();
    EXPECT_EQ(openCache()->snapshot(), (QList<SignalPostBody>{record(1), record(2)}));
}

} // namespace
