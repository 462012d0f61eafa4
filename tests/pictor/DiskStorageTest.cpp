#include "CacheTestSupport.h"

#include "pictor/cache/DiskStorage.h"
#include "pictor/cache/KeyHashing.h"
#include "pictor/core/PictorError.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

class DiskStorageTest : public ::testing::Test {
protected:
    DiskStorageConfig config(uint64_t sizeLimit = 0) const
    {
        DiskStorageConfig result(QStringLiteral("test"), sizeLimit, temp.path());
        result.clock = clock.clock();
        return result;
    }
    std::shared_ptr<DiskStorage> make(DiskStorageConfig settings)
    {
        auto storage = DiskStorage::create(std::move(settings), true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return storage->isScanFinished(); }, 5000));
        return storage;
    }
    std::shared_ptr<DiskStorage> make(uint64_t sizeLimit = 0) { return make(config(sizeLimit)); }
    QString folder() const { return temp.path() + "/com.quillmoth.Pictor.ImageCache.test"; }

    QTemporaryDir temp;
    ManualClock clock;
};

struct NamingCase {
    const char* name;
    bool hashed;
    bool autoExtension;
    std::optional<QString> pathExtension;
    QString key;
    std::optional<QString> forced;
    // "#" stands for the key's SHA-256.
    QString expected;
};

class DiskStorageNaming : public DiskStorageTest, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(DiskStorageNaming, FileNameOfKey)
{
    const NamingCase& c = GetParam();
    DiskStorageConfig settings = config();
    settings.usesHashedFileName = c.hashed;
    settings.autoExtAfterHashedFileName = c.autoExtension;
    settings.pathExtension = c.pathExtension;
    auto storage = make(settings);
    QString expected = c.expected;
    expected.replace("#", pt::sha256(c.key));
    EXPECT_EQ(storage->fileName(c.key, c.forced), expected);
    EXPECT_EQ(QFileInfo(storage->cacheFilePath(c.key, c.forced)).absolutePath(), folder());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DiskStorageNaming,
    ::testing::Values(
        NamingCase {"hashedNoExtension", true, false, {}, "a/b/photo.png", {}, "#"},
        NamingCase {"autoExtension", true, true, {}, "a/b/photo.png", {}, "#.png"},
        NamingCase {"autoExtensionIgnoresProcessor", true, true, {}, "photo.png@round", {}, "#.png"},
        NamingCase {"noDotNoExtension", true, true, {}, "photo", {}, "#"},
        NamingCase {"extensionWithSlashRefused", true, true, {}, "a.b/c", {}, "#"},
        NamingCase {"longExtensionRefused", true, true, {}, "a.abcdefghi", {}, "#"},
        NamingCase {"pathExtensionBeatsAuto", true, true, QString("jpg"), "p.png", {}, "#.jpg"},
        NamingCase {"forcedBeatsPathExtension", true, true, QString("jpg"), "p.png", QString("webp"), "#.webp"},
        NamingCase {"emptyForcedKeepsTheDot", true, false, {}, "p", QString(""), "#."},
        NamingCase {"unhashedIsTheKey", false, true, {}, "photo.png", {}, "photo.png"},
        NamingCase {"unhashedSlashesEscaped", false, false, {}, "../../etc/passwd", {}, "%2E.%2F..%2Fetc%2Fpasswd"},
        NamingCase {"unhashedDotDot", false, false, {}, "..", {}, "%2E."},
        NamingCase {"unhashedPercentAndNul", false, false, {}, QString("a%b") + QChar(0), {}, "a%25b%00"},
        NamingCase {"unhashedEmpty", false, false, {}, "", {}, "%"},
        NamingCase {"forcedExtensionCannotClimb", true, false, {}, "k", QString("/../x"), "#.%2F..%2Fx"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DiskStorageTest, DefaultFolderIsUnderTheUserCaches)
{
    auto storage = DiskStorage::create(DiskStorageConfig("avatars", 0), false);
    EXPECT_EQ(storage->directoryPath(), DiskStorage::userCachesDirectory() + "/com.quillmoth.Pictor.ImageCache.avatars");
}

TEST_F(DiskStorageTest, StoreWritesTheBytesWithAccessAndExpiryDates)
{
    auto storage = make();
    clock.advance(0.3);
    storage->store("bytes", "k", StorageExpiration::seconds(60));
    const QString path = storage->cacheFilePath("k");
    // Whole seconds rounded up. (Read the dates first: a plain read may move the access time.)
    EXPECT_EQ(fileDates(path), (FileDates {secondsOf(clock.now()) + 1, secondsOf(clock.now()) + 61}));
    EXPECT_EQ(storage->value("k", std::nullopt, ExpirationExtending::none()), "bytes");
    EXPECT_EQ(fileDates(path).access, secondsOf(clock.now()) + 1) << "the cache's own reads leave it";
    EXPECT_TRUE(QDir(folder()).entryList(QDir::Hidden | QDir::Files).size() == 1) << "no temporary file left";
}

TEST_F(DiskStorageTest, ReadsRenewTheDatesAsAsked)
{
    auto storage = make();
    storage->store("x", "cacheTime", StorageExpiration::seconds(60));
    storage->store("x", "none", StorageExpiration::seconds(60));
    storage->store("x", "other", StorageExpiration::seconds(60));
    const FileDates stored = fileDates(storage->cacheFilePath("none"));
    clock.advance(30);
    const int64_t read = secondsOf(clock.now());
    ASSERT_TRUE(storage->value("cacheTime", std::nullopt, ExpirationExtending::cacheTime()));
    ASSERT_TRUE(storage->value("none", std::nullopt, ExpirationExtending::none()));
    ASSERT_TRUE(storage->value("other", std::nullopt, ExpirationExtending::expirationTime(StorageExpiration::seconds(5))));
    ASSERT_TRUE(storage->isCached("none"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileDates(storage->cacheFilePath("other")).modification == read + 5; }, 5000));
    EXPECT_EQ(fileDates(storage->cacheFilePath("cacheTime")), (FileDates {read, read + 60}));
    EXPECT_EQ(fileDates(storage->cacheFilePath("none")), stored);
}

TEST_F(DiskStorageTest, ExpiredFilesAreMissesUntilTheSweepRemovesThem)
{
    auto storage = make();
    storage->store("old", "old", StorageExpiration::seconds(10));
    storage->store("new", "new", StorageExpiration::never());
    QDir(folder()).mkdir("sub");
    storage->store("gone", "gone", StorageExpiration::expired());
    EXPECT_FALSE(QFile::exists(storage->cacheFilePath("gone")));
    clock.advance(20);
    EXPECT_FALSE(storage->value("old", std::nullopt, ExpirationExtending::cacheTime()));
    EXPECT_TRUE(QFile::exists(storage->cacheFilePath("old")));
    EXPECT_EQ(storage->removeExpiredValues(), QStringList {storage->cacheFilePath("old")});
    EXPECT_TRUE(storage->value("new", std::nullopt, ExpirationExtending::none()));
    EXPECT_TRUE(QDir(folder() + "/sub").exists()) << "folders are never expired";
}

struct TrimCase {
    const char* name;
    uint64_t limit;
    std::vector<int> sizes;
    // Files removed, by index; file i was last accessed at i seconds.
    QList<int> removed;
};

class DiskStorageTrimming : public DiskStorageTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(DiskStorageTrimming, LeastRecentlyAccessedFirstDownToHalfTheLimit)
{
    const TrimCase& c = GetParam();
    auto storage = make(c.limit);
    for (int i = 0; i < int(c.sizes.size()); ++i) {
        storage->store(QByteArray(c.sizes[i], 'x'), QString::number(i));
        clock.advance(1);
    }
    writeFile(folder() + "/.hidden", QByteArray(5000, 'h'));
    QStringList expected;
    for (const int i : c.removed)
        expected.append(storage->cacheFilePath(QString::number(i)));
    EXPECT_EQ(storage->removeSizeExceededValues(), expected);
    EXPECT_TRUE(QFile::exists(folder() + "/.hidden"));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, DiskStorageTrimming,
    ::testing::Values(TrimCase {"atTheLimit", 1000, {250, 250, 250, 250}, {0, 1}},
                      TrimCase {"belowTheLimit", 1000, {250, 250, 250, 249}, {}},
                      TrimCase {"noLimit", 0, {5000, 5000}, {}},
                      TrimCase {"bigFileFirst", 1000, {900, 100, 100}, {0}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DiskStorageTest, TotalSizeCountsSubfoldersButNotHiddenFiles)
{
    auto storage = make();
    storage->store(QByteArray(300, 'a'), "a");
    QDir(folder()).mkdir("sub");
    writeFile(folder() + "/sub/inner", QByteArray(200, 'b'));
    writeFile(folder() + "/.hidden", QByteArray(1000, 'c'));
    EXPECT_EQ(storage->totalSize(), 500u);
}

TEST_F(DiskStorageTest, ScanNamesGateReadsAndStoresDuringTheScanAreKept)
{
    {
        auto first = make();
        first->store("x", "before");
    }
    auto storage = make();
    ASSERT_TRUE(storage->maybeCached());
    writeFile(storage->cacheFilePath("foreign"), "y");
    EXPECT_FALSE(storage->value("foreign", std::nullopt, ExpirationExtending::none())) << "not known to the scan";
    EXPECT_TRUE(storage->value("before", std::nullopt, ExpirationExtending::none()));
    storage->store("z", "after");
    EXPECT_TRUE(storage->value("after", std::nullopt, ExpirationExtending::none()));
}

TEST_F(DiskStorageTest, FolderThatCannotBeMadeLeavesAStorageThatRefuses)
{
    writeFile(temp.path() + "/file", "f");
    DiskStorageConfig settings = config();
    settings.directory = temp.path() + "/file";
    try {
        DiskStorage::createPreparingDirectory(settings);
        FAIL() << "no error";
    } catch (const PictorError& error) {
        EXPECT_EQ(error.reason(), PictorError::Reason::cannotCreateDirectory);
    }
    auto storage = DiskStorage::create(settings, true);
    EXPECT_FALSE(storage->isStorageReady());
    for (auto operation : {std::function<void()>([&] { storage->store("x", "k"); }),
                           std::function<void()>([&] { storage->value("k", std::nullopt, ExpirationExtending::none()); })}) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const PictorError& error) {
            EXPECT_EQ(error.reason(), PictorError::Reason::diskStorageIsNotReady);
        }
    }
}

TEST_F(DiskStorageTest, RemovedFolderIsMadeAgainByTheNextStore)
{
    auto storage = make();
    storage->store("x", "k");
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    EXPECT_FALSE(storage->value("k", std::nullopt, ExpirationExtending::none()));
    storage->store("y", "k");
    EXPECT_EQ(storage->value("k", std::nullopt, ExpirationExtending::none()), "y");
}

TEST_F(DiskStorageTest, RemoveAllNeverDeletesTheBaseFolder)
{
    writeFile(temp.path() + "/other-program", "keep");
    DiskStorageConfig settings = config();
    settings.cachePathBlock = [](const QString& base, const QString&) { return base; };
    auto storage = make(settings);
    EXPECT_THROW(storage->removeAll(), std::system_error);
    EXPECT_TRUE(QFile::exists(temp.path() + "/other-program"));

    auto own = make();
    own->store("x", "k");
    own->removeAll();
    EXPECT_TRUE(QDir(folder()).isEmpty());
    EXPECT_TRUE(QFile::exists(temp.path() + "/other-program"));
}

TEST_F(DiskStorageTest, NameThatClimbsOutOfTheBaseStaysInsideAndClearingKeepsOthersFiles)
{
    QDir(temp.path()).mkdir("base");
    writeFile(temp.path() + "/victim", "keep");
    for (const QString name : {"x/../../victim", "../..", "a/../../../victim"}) {
        DiskStorageConfig settings(name, 0, temp.path() + "/base");
        settings.clock = clock.clock();
        auto storage = make(settings);
        EXPECT_TRUE(storage->directoryPath().startsWith(temp.path() + "/base/")) << storage->directoryPath().toStdString();
        try {
            storage->removeAll();
        } catch (const std::system_error&) {
            // Refusing is as good as clearing its own folder.
        }
        EXPECT_TRUE(QFile::exists(temp.path() + "/victim")) << name.toStdString();
    }
}

TEST_F(DiskStorageTest, ReadsByOtherProgramsDoNotShortenARenewedLife)
{
    auto storage = make();
    storage->store("x", "k", StorageExpiration::seconds(3600));
    const QString path = storage->cacheFilePath("k");
    clock.advance(3);
    // Another program reads the file 3 s later: its access time moves, as a read may move it.
    const struct timespec times[2] = {{time_t(secondsOf(clock.now())), 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    clock.advance(10);
    const int64_t read = secondsOf(clock.now());
    ASSERT_TRUE(storage->value("k", std::nullopt, ExpirationExtending::cacheTime()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileDates(path).access == read; }, 5000));
    EXPECT_EQ(fileDates(path).modification, read + 3600) << "renewed by the life it was stored with";
}

TEST_F(DiskStorageTest, CleanRemovesTemporariesOfDeadWritesButNotOfLiveOnes)
{
    auto storage = make();
    storage->store("x", "k");
    writeFile(folder() + "/.pictor-dead01", "half a file");
    writeFile(folder() + "/.pictor-live01", "being written");
    QFile live(folder() + "/.pictor-live01");
    ASSERT_TRUE(live.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(live.handle(), LOCK_EX), 0);
    EXPECT_TRUE(storage->removeExpiredValues().isEmpty()) << "temporaries are no cache entries";
    EXPECT_FALSE(QFile::exists(folder() + "/.pictor-dead01"));
    EXPECT_TRUE(QFile::exists(folder() + "/.pictor-live01"));
    EXPECT_TRUE(storage->value("k", std::nullopt, ExpirationExtending::none()));
}

TEST_F(DiskStorageTest, ACleanDuringAWriteLeavesTheWriteWhole)
{
    DiskStorageConfig settings = config();
    std::shared_ptr<DiskStorage> storage;
    bool cleaned = false;
    // The clock is read while the file is written: a clean then (another cache on the same folder)
    // meets the temporary file.
    settings.clock = [&, now = clock.clock()] {
        const QStringList temporaries = QDir(folder()).entryList({QStringLiteral(".pictor-*")}, QDir::Files | QDir::Hidden);
        if (!cleaned && storage && !temporaries.isEmpty()) {
            cleaned = true;
            storage->removeExpiredValues(now());
        }
        return now();
    };
    storage = make(settings);
    ASSERT_NO_THROW(storage->store("whole", "k"));
    EXPECT_TRUE(cleaned);
    EXPECT_EQ(storage->value("k", std::nullopt, ExpirationExtending::none()), QByteArray("whole"));
}

} // namespace
