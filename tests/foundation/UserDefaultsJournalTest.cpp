#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/SettingsJournal.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <atomic>
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kList = QStringLiteral("likedWallpapersModels");

// A long list kept by its owner as JSON elements, telling the store each change it makes.
class ListSource : public UserDefaults::DataSource {
public:
    QList<QByteArray> elements;
    mutable std::optional<QList<Splice>> pending;

    void insertFront(const QByteArray& element)
    {
        elements.prepend(element);
        if (pending)
            pending->append({0, 0, {element}});
    }
    void removeAt(qsizetype at)
    {
        elements.removeAt(at);
        if (pending)
            pending->append({at, 1, {}});
    }
    QByteArray bytes() const { return '[' + elements.join(',') + ']'; }

    Write snapshot() const override
    {
        return [bytes = bytes()](const Append& append) { append(bytes); };
    }
    qsizetype sizeHint() const override { return bytes().size(); }
    std::optional<QList<Splice>> changes() const override { return pending; }
    void taken() const override { pending.emplace(); }
};

// Some 700 bytes, as a stored wallpaper record is.
QByteArray element(int number)
{
    return "{\"key\":" + QByteArray::number(number) + ",\"title\":\"" + QByteArray(680, 'w') + "\"}";
}

std::shared_ptr<ListSource> longList(int count)
{
    auto source = std::make_shared<ListSource>();
    for (int n = count; n >= 1; --n)
        source->elements.append(element(n));
    return source;
}

class UserDefaultsJournalTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    QString file() const { return folder() + QStringLiteral("/standard.json"); }
    QString journal() const { return file() + QStringLiteral(".journal"); }

    // A store on disk whose long list is whole in the file, and an owner that keeps it.
    std::shared_ptr<ListSource> storeLongList(int count)
    {
        auto source = longList(count);
        UserDefaults defaults;
        defaults.setDataSource(kList, source);
        defaults.flush();
        return source;
    }
    // The list as the next launch reads it, taken over by a new owner.
    std::shared_ptr<ListSource> reopen(UserDefaults& defaults)
    {
        auto source = std::make_shared<ListSource>();
        const QByteArray stored = defaults.data(kList);
        const QJsonArray array = QJsonDocument::fromJson(stored).array();
        for (const QJsonValue& value : array)
            source->elements.append(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        EXPECT_EQ(source->bytes(), stored);
        defaults.keepDataIn(kList, source);
        return source;
    }

    TempFolder temp_;
};

// A like or an unlike in a long list, and a small setting beside it, cost a small record
// appended to the journal, not a rewrite of the file: the file stays as it was until a
// checkpoint, every change reads back at the next launch, and after the checkpoint the file
// alone holds everything, as an earlier version reads it.
TEST_F(UserDefaultsJournalTest, ChangesToALongStoreAreJournaledAndReadBack)
{
    const auto source = storeLongList(2000);
    UserDefaults defaults;
    const auto owned = reopen(defaults);
    const QByteArray fileBefore = readFile(file());
    for (int n = 1; n <= 30; ++n) {
        const qint64 journalBefore = QFileInfo(journal()).size();
        if (n % 3 == 0)
            owned->removeAt(n);
        else
            owned->insertFront(element(10'000 + n));
        defaults.setDataSource(kList, owned);
        EXPECT_FALSE(defaults.isWriting()) << "a change to a long list made the store write the file";
        EXPECT_LT(QFileInfo(journal()).size() - journalBefore, 2048) << n;
    }
    defaults.setInteger(QStringLiteral("count"), 7);
    defaults.setString(QStringLiteral("gone"), QStringLiteral("soon"));
    defaults.remove(QStringLiteral("gone"));
    EXPECT_EQ(readFile(file()), fileBefore);
    {
        const UserDefaults reread;
        EXPECT_TRUE(reread.data(kList) == owned->bytes());
        EXPECT_EQ(reread.integer(QStringLiteral("count")), 7);
        EXPECT_FALSE(reread.contains(QStringLiteral("gone")));
        EXPECT_FALSE(reread.contains(UserDefaults::kJournalSequenceKey));
    }

    defaults.checkpoint();
    defaults.flush();
    EXPECT_EQ(QFileInfo(journal()).size(), 0);
    // What an earlier version reads: the file alone, every entry typed as ever.
    QFile::remove(journal());
    const QJsonObject entries = QJsonDocument::fromJson(readFile(file())).object();
    EXPECT_TRUE(QByteArray::fromBase64(entries.value(kList).toObject().value(QStringLiteral("value")).toString().toLatin1()) == owned->bytes());
    EXPECT_EQ(entries.value(UserDefaults::kJournalSequenceKey).toObject().value(QStringLiteral("type")), QStringLiteral("integer"));
    const UserDefaults reread;
    EXPECT_TRUE(reread.data(kList) == owned->bytes());
    EXPECT_EQ(reread.integer(QStringLiteral("count")), 7);
}

// A crash after the checkpoint's new file landed but before the journal was emptied: the
// journal's records are in the file already and are not replayed a second time; records made
// while the checkpoint ran are kept.
TEST_F(UserDefaultsJournalTest, RecordsTheFileHoldsAreNeverReplayedTwice)
{
    storeLongList(2000);
    UserDefaults defaults;
    const auto owned = reopen(defaults);
    for (int n = 1; n <= 3; ++n) {
        owned->insertFront(element(20'000 + n));
        defaults.setDataSource(kList, owned);
    }
    const QByteArray journalBefore = readFile(journal());
    defaults.checkpoint();
    owned->insertFront(element(30'000));
    defaults.setDataSource(kList, owned); // while the checkpoint runs
    defaults.flush();
    EXPECT_TRUE(UserDefaults().data(kList) == owned->bytes()) << "the change made during the checkpoint";
    const QByteArray journalAfter = readFile(journal());
    QFile out(journal());
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(journalBefore + journalAfter);
    out.close();
    EXPECT_TRUE(UserDefaults().data(kList) == owned->bytes());
}

// A record cut short by a crash is dropped with a line, the records before it are kept, and the
// next change is appended where it can be read.
TEST_F(UserDefaultsJournalTest, ATornLastRecordIsDroppedAndLogged)
{
    storeLongList(2000);
    QByteArray expected;
    {
        UserDefaults defaults;
        const auto owned = reopen(defaults);
        owned->insertFront(element(1));
        defaults.setDataSource(kList, owned);
        expected = owned->bytes();
    }
    QFile out(journal());
    ASSERT_TRUE(out.open(QIODevice::Append));
    out.write(SettingsJournal::frame("{\"seq\":999,\"key\":\"x\",\"removed\":true}").chopped(3));
    out.close();
    LogCapture log;
    UserDefaults defaults;
    EXPECT_TRUE(defaults.data(kList) == expected);
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [UserDefaults] Dropped a torn record at the end of ") + journal()));
    defaults.setInteger(QStringLiteral("after"), 1);
    EXPECT_EQ(UserDefaults().integer(QStringLiteral("after")), 1);
}

// SIGKILL at random moments in a stream of changes: every change the store had returned from
// (logged as saved) is there at the next launch, the one under way at most beside them, and the
// file and the journal always read.
TEST_F(UserDefaultsJournalTest, AKillLosesNoChangeThatWasSaved)
{
    storeLongList(1500);
    int saved = 0;
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        int acks[2];
        ASSERT_EQ(::pipe(acks), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(acks[0]);
            UserDefaults defaults;
            const auto owned = reopen(defaults);
            for (int n = saved + 1;; ++n) {
                owned->insertFront(element(100'000 + n));
                defaults.setDataSource(kList, owned);
                [[maybe_unused]] const ssize_t written = ::write(acks[1], &n, sizeof n);
            }
        }
        ::close(acks[1]);
        const int target = 1 + QRandomGenerator::global()->bounded(6);
        int last = saved;
        for (int got = 0; got < target && ::read(acks[0], &last, sizeof last) == sizeof last; ++got) {}
        ::usleep(QRandomGenerator::global()->bounded(3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        for (int n = 0; ::read(acks[0], &n, sizeof n) == sizeof n;)
            last = n;
        ::close(acks[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;

        LogCapture log;
        UserDefaults reread;
        const QJsonArray stored = QJsonDocument::fromJson(reread.data(kList)).array();
        ASSERT_GE(stored.size(), 1500 + last);
        ASSERT_LE(stored.size(), 1500 + last + 1);
        for (int n = 1; n <= last; ++n)
            ASSERT_EQ(stored.at(stored.size() - 1500 - n).toObject().value(QStringLiteral("key")).toInteger(), 100'000 + n);
        EXPECT_FALSE(log.contains(QStringLiteral("Damaged"))) << log.lines().join(u'\n').toStdString();
        saved = int(stored.size()) - 1500;
    }
}

// The settings file at launch cannot be read for a reason that passes, or something else
// stands in its place: it stays where it is, is never written over this session, and the
// trouble is there to tell the user. Only what its own state makes unreadable is moved aside.
TEST_F(UserDefaultsJournalTest, OnlyADamagedFileIsMovedAside)
{
    const QByteArray good = R"({"savedWallpaperKey":{"type":"string","value":"42"}})";
    struct Case {
        const char* name;
        std::function<bool()> block; // false: cannot be set up here
        std::function<void()> unblock;
        bool movedAside;
    };
    rlimit limit{};
    QList<int> taken;
    const Case cases[] = {
        {"no free file descriptor",
            [&] {
                ::getrlimit(RLIMIT_NOFILE, &limit);
                rlimit few = limit;
                few.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size() + 16;
                // The sanitizer checks each type's first use with a descriptor of its own.
                UserDefaults(UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory).setInteger(QStringLiteral("warm"), 1);
                QTimer().start(UserDefaults::kFirstRereadMs); // the store's look again later
                if (::setrlimit(RLIMIT_NOFILE, &few) != 0)
                    return false;
                for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                    taken.append(fd);
                return errno == EMFILE;
            },
            [&] {
                for (const int fd : std::exchange(taken, {}))
                    ::close(fd);
                ::setrlimit(RLIMIT_NOFILE, &limit);
            },
            false},
        {"a folder in its place",
            [&] {
                QFile::remove(file());
                return QDir().mkpath(file() + QStringLiteral("/inside"));
            },
            [] {}, false},
        {"no right to read it",
            [&] { return QFile::setPermissions(file(), {}) && ::geteuid() != 0; },
            [&] { QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        {
            QFile out(file());
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(good);
        }
        if (!c.block()) {
            c.unblock();
            continue;
        }
        LogCapture log;
        std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>();
        c.unblock();
        ASSERT_TRUE(defaults->readTrouble());
        EXPECT_TRUE(defaults->hasDamagedCopies()) << "what was stored may be missing: no first launch";
        defaults->setString(QStringLiteral("savedWallpaperKey"), QStringLiteral("7"));
        defaults.reset();
        const QStringList aside = QDir(folder()).entryList({QStringLiteral("standard.json.damaged-*")}, QDir::AllEntries);
        EXPECT_EQ(aside.size(), c.movedAside ? 1 : 0) << aside.join(u' ').toStdString();
        if (c.movedAside)
            continue;
        if (QFileInfo(file()).isFile()) {
            EXPECT_EQ(readFile(file()), good) << "the file was written over";
        }
        EXPECT_TRUE(QFileInfo::exists(file()));
    }
}

} // namespace

// The owner of a list hears that a change is saved only once it is on disk, whichever way it
// goes there: a journal record synced on a worker (the setter never waits for the disk; a quit
// waits for the sync), a bulk change written whole behind, or a short store's file written
// before the setter returns. A store in memory has no disk to wait for.
TEST_F(UserDefaultsJournalTest, AChangeIsToldSavedOnlyOnceItIsOnDisk)
{
    enum class Told { BeforeReturning, ByTheEventLoop, ByTheFlush };
    struct Case {
        const char* name;
        int stored;
        bool bulk;
        UserDefaults::Storage storage;
        Told told;
    };
    const Case cases[] = {
        {"a like in a long list", 2000, false, UserDefaults::Storage::OnDisk, Told::ByTheEventLoop},
        {"a like in a long list, then the quit", 2000, false, UserDefaults::Storage::OnDisk, Told::ByTheFlush},
        {"a bulk change of a long list", 2000, true, UserDefaults::Storage::OnDisk, Told::ByTheEventLoop},
        {"a bulk change of a long list, then the quit", 2000, true, UserDefaults::Storage::OnDisk, Told::ByTheFlush},
        {"a like in a short list", 3, false, UserDefaults::Storage::OnDisk, Told::BeforeReturning},
        {"a like in a store in memory", 2000, false, UserDefaults::Storage::InMemory, Told::BeforeReturning},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        storeLongList(c.stored);
        UserDefaults defaults(UserDefaults::kStandardDomain, c.storage);
        const auto owned = c.storage == UserDefaults::Storage::OnDisk ? reopen(defaults) : longList(c.stored);
        if (c.storage == UserDefaults::Storage::InMemory)
            defaults.setDataSource(kList, owned);
        owned->insertFront(element(50'000));
        if (c.bulk)
            owned->pending.reset(); // the owner cannot tell what changed
        int told = 0;
        bool onDisk = false;
        defaults.setDataSource(kList, owned, [&] {
            ++told;
            onDisk = c.storage == UserDefaults::Storage::InMemory || UserDefaults().data(kList) == owned->bytes();
        });
        if (c.told == Told::BeforeReturning) {
            EXPECT_EQ(told, 1);
        } else if (c.told == Told::ByTheFlush) {
            defaults.flush();
            EXPECT_EQ(told, 1);
        } else {
            ASSERT_EVENTUALLY(told == 1, 5000);
        }
        EXPECT_TRUE(onDisk) << "told saved before the change was on disk";
        EXPECT_FALSE(defaults.isSyncing());
        defaults.flush();
        EXPECT_EQ(told, 1) << "told twice";
    }
}

namespace {

std::atomic<int> progressReports{0};

// A whole write of a long list tells of its progress as it goes, from whichever thread writes
// it, so an exit that waits for it is not cut while it moves.
TEST_F(UserDefaultsJournalTest, AWholeWriteReportsItsProgress)
{
    UserDefaults::setProgressListener([] { ++progressReports; });
    const auto source = longList(2000);
    {
        UserDefaults defaults;
        defaults.setDataSource(kList, source);
        defaults.flush();
    }
    UserDefaults::setProgressListener(nullptr);
    EXPECT_GE(progressReports.load(), 2);
}

} // namespace
