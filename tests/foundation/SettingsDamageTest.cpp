#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

class SettingsDamageTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    QString file() const { return folder() + QStringLiteral("/standard.sqlite3"); }
    QString log() const { return file() + QStringLiteral("-wal"); }
    QStringList copies() const
    {
        QStringList names = QDir(folder()).entryList({QStringLiteral("standard.sqlite3.damaged-*")}, QDir::Files);
        names.removeIf([](const QString& name) { return name.endsWith(QStringLiteral("-wal")) || name.endsWith(QStringLiteral("-shm")); });
        return names;
    }
    // Written as a restore or a copy puts a file: a new one under the name.
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile out(path + QStringLiteral(".new"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        ASSERT_EQ(::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(path).constData()), 0);
    }
    // The database and its log as a crash would leave them: taken while the store has them open.
    struct Files {
        QByteArray database;
        QByteArray log;
    };
    Files takeFiles() const { return {readFile(file()), readFile(log())}; }
    void putFiles(const Files& files) const
    {
        QFile::remove(file() + QStringLiteral("-shm"));
        write(file(), files.database);
        QFile::remove(log());
        if (!files.log.isEmpty())
            write(log(), files.log);
    }
    // Settings with a few hundred liked rows, closed: everything is in the file.
    static void fillSettings()
    {
        UserDefaults defaults;
        defaults.setBool(QStringLiteral("hasLaunchedBefore"), true);
        SettingsChange::ListChange rows;
        for (int key = 1; key <= 300; ++key)
            rows.put.append({QString::number(key), key * kRowGap, QByteArray(R"({"key":)") + QByteArray::number(key) + R"(,"title":")"
                                                                       + QByteArray(200, 'a') + "\"}"});
        defaults.changeRows(QStringLiteral("likedWallpapersModels"), rows);
    }

    TempFolder temp_;
};

// A damaged database is copied aside whole (with its log), whatever still reads is kept in a new
// one, and the user is told in words that stay until dismissed; a copy is never removed, and
// the same damage met again is not kept twice.
TEST_F(SettingsDamageTest, ADamagedDatabaseIsCopiedAsideAndWhatReadsIsKept)
{
    struct Case {
        const char* name;
        std::function<void(Files&)> damage;
        // How many of the 300 liked rows still read at least: all but those of the damaged page.
        qsizetype keepsRows;
    };
    const auto flipPageHeader = [](QByteArray& bytes, qsizetype page) {
        for (qsizetype at = page * 4096; at < page * 4096 + 12 && at < bytes.size(); ++at)
            bytes[at] = char(bytes.at(at) ^ 0x5a);
    };
    const Case cases[] = {
        {"no database at all", [](Files& files) { files.database = QByteArray("not a database; ").repeated(500); }, 0},
        {"cut short", [](Files& files) { files.database.truncate(files.database.size() / 2); }, 1},
        {"bit flips in a page of rows", [&](Files& files) { flipPageHeader(files.database, files.database.size() / 4096 / 2); }, 300 - 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        fillSettings();
        Files files = takeFiles();
        c.damage(files);
        putFiles(files);

        LogCapture lines;
        {
            UserDefaults defaults;
            // A file that opens is checked whole on a worker while the launch goes on.
            ASSERT_EVENTUALLY(defaults.readTrouble() || defaults.isCheckedWhole(), 30'000);
            ASSERT_TRUE(defaults.readTrouble());
            EXPECT_TRUE(defaults.readTrouble()->movedAside);
            ASSERT_EQ(copies().size(), 1);
            const QString copy = folder() + u'/' + copies().first();
            EXPECT_EQ(defaults.readTrouble()->keptAt, copy);
            EXPECT_EQ(readFile(copy), files.database) << "the copy is the damaged file as it was";
            EXPECT_TRUE(defaults.notice().contains(copy));
            EXPECT_TRUE(defaults.canDismissNotice());
            EXPECT_TRUE(defaults.hasDamagedCopies());
            EXPECT_FALSE(defaults.awaitsFile()) << "a new database took its place";
            EXPECT_GE(defaults.storedArray(QStringLiteral("likedWallpapersModels")).keys.size(), c.keepsRows);
            defaults.setString(QStringLiteral("afterwards"), QStringLiteral("kept"));
        }
        UserDefaults next;
        EXPECT_FALSE(next.readTrouble()) << "the new database is sound";
        EXPECT_EQ(next.string(QStringLiteral("afterwards")), QStringLiteral("kept"));
        EXPECT_FALSE(next.notice().isEmpty()) << "the word stays until the user dismisses it";
        next.dismissNotice();
        EXPECT_TRUE(next.notice().isEmpty());
        EXPECT_EQ(copies().size(), 1);
    }
}

// Every damaged copy stays, however many launches find damage; the very same damage found again
// is kept once.
TEST_F(SettingsDamageTest, CopiesAreNeverRotatedAwayNorKeptTwice)
{
    for (int launch = 1; launch <= 5; ++launch) {
        // Launches 4 and 5 find the same bytes as launch 3.
        const QByteArray garbage = QByteArray("damage ") + QByteArray::number(std::min(launch, 3)) + QByteArray(5000, '!');
        QDir().mkpath(folder());
        QFile::remove(log());
        write(file(), garbage);
        UserDefaults defaults;
        EXPECT_EQ(copies().size(), std::min(launch, 3)) << "launch " << launch;
    }
}

// A frame of the log that no longer checks lost what was saved in it and after it: the log is
// damage, kept with the file, wherever the frame lies; a last transaction a crash cut short (its
// last frames never written) is not.
TEST_F(SettingsDamageTest, ADamagedLogIsKeptAsideButACutLastTransactionIsNot)
{
    struct Case {
        const char* name;
        std::function<void(QByteArray& log, qsizetype frames)> change;
        bool damage;
    };
    constexpr qsizetype kFrame = 24 + 4096;
    const auto flipPage = [](qsizetype frame) {
        return [frame](QByteArray& log, qsizetype frames) {
            const qsizetype at = 32 + (frame >= 0 ? frame : frames + frame) * kFrame + 24 + 1000;
            log[at] = char(log.at(at) ^ 1);
        };
    };
    const Case cases[] = {
        {"a flip in an early transaction", flipPage(6), true},
        {"a flip in the last transaction", flipPage(-1), true},
        {"a flip in the log's header", [](QByteArray& log, qsizetype) { log[17] = char(log.at(17) ^ 4); }, true},
        {"a flip in a frame's salt", [](QByteArray& log, qsizetype) { log[32 + 3 * kFrame + 9] = char(log.at(32 + 3 * kFrame + 9) ^ 1); }, true},
        {"a zeroed frame", [](QByteArray& log, qsizetype) { log.replace(32 + 2 * kFrame, kFrame, QByteArray(kFrame, '\0')); }, true},
        {"the last frame never written", [](QByteArray& log, qsizetype) { log.chop(kFrame); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        Files files;
        {
            UserDefaults defaults;
            for (int n = 1; n <= 12; ++n)
                defaults.setInteger(QStringLiteral("step%1").arg(n), n);
            files = takeFiles();
        }
        const qsizetype frames = (files.log.size() - 32) / kFrame;
        ASSERT_GE(frames, 12);
        c.change(files.log, frames);
        putFiles(files);
        UserDefaults defaults;
        EXPECT_EQ(defaults.readTrouble().has_value(), c.damage);
        EXPECT_EQ(copies().size(), c.damage ? 1 : 0);
        if (c.damage) {
            EXPECT_EQ(readFile(folder() + u'/' + copies().first() + QStringLiteral("-wal")), files.log) << "kept with its log";
            EXPECT_FALSE(defaults.notice().isEmpty());
        }
    }
}

// A crash image (the database and its log as a kill leaves them), a bit flipped at offset after
// offset of its log and a byte in each page of its database: every change that was saved still
// reads, or the files are kept as they were found and the user is told.
TEST_F(SettingsDamageTest, NoSavedChangeIsLostWithoutAKeptCopyAndANotice)
{
    fillSettings();
    Files image;
    {
        UserDefaults defaults;
        for (int n = 1; n <= 8; ++n)
            defaults.setInteger(QStringLiteral("step%1").arg(n), n);
        image = takeFiles();
    }
    ASSERT_FALSE(image.log.isEmpty());
    const auto savedAllReads = [](UserDefaults& defaults) {
        for (int n = 1; n <= 8; ++n)
            if (defaults.integer(QStringLiteral("step%1").arg(n)) != n)
                return false;
        return defaults.boolean(QStringLiteral("hasLaunchedBefore")) && defaults.storedArray(QStringLiteral("likedWallpapersModels")).keys.size() == 300;
    };
    struct Damage {
        QString what;
        Files files;
    };
    QList<Damage> damages;
    // Every byte of the header and of each frame's header, and a stride through the pages.
    constexpr qsizetype kFrame = 24 + 4096;
    for (qsizetype at = 0; at < image.log.size(); at += (at < 32 || (at - 32) % kFrame < 24) ? 1 : 397) {
        Files files = image;
        files.log[at] = char(files.log.at(at) ^ (1 << (at % 8)));
        damages.append({QStringLiteral("log byte %1").arg(at), files});
    }
    for (qsizetype page = 0; page * 4096 < image.database.size(); ++page) {
        Files files = image;
        const qsizetype at = page * 4096 + (page == 0 ? 100 : 2048);
        files.database[at] = char(files.database.at(at) ^ 0x5a);
        damages.append({QStringLiteral("database page %1").arg(page), files});
    }
    for (const Damage& damage : std::as_const(damages)) {
        SCOPED_TRACE(damage.what.toStdString());
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        putFiles(damage.files);
        UserDefaults defaults;
        ASSERT_EVENTUALLY(defaults.readTrouble() || defaults.isCheckedWhole(), 30'000);
        if (savedAllReads(defaults))
            continue;
        ASSERT_TRUE(defaults.readTrouble()) << "lost without a word";
        EXPECT_FALSE(defaults.notice().isEmpty());
        ASSERT_EQ(copies().size(), 1);
        const QString copy = folder() + u'/' + copies().first();
        EXPECT_EQ(readFile(copy), damage.files.database) << "kept as found";
        EXPECT_EQ(readFile(copy + QStringLiteral("-wal")), damage.files.log) << "kept as found";
    }
}

// A backup restored beside a log of another time opens whole as restored, the log set aside and
// said; with its own log it opens as it was. Never a mix of the two.
TEST_F(SettingsDamageTest, ARestoredBackupIsNeverMixedWithAnotherLog)
{
    Files first;
    Files second;
    {
        UserDefaults session;
        session.setString(QStringLiteral("value"), QStringLiteral("first"));
        first = takeFiles();
    }
    {
        UserDefaults session;
        session.setString(QStringLiteral("value"), QStringLiteral("second"));
        session.setString(QStringLiteral("only"), QStringLiteral("second"));
        second = takeFiles();
    }
    struct Case {
        const char* name;
        Files files;
        bool setAside;
        QString value;
    };
    const Case cases[] = {
        {"a backup with its own log", first, false, QStringLiteral("first")},
        {"an older backup beside a newer log", {first.database, second.log}, true, QString()},
        {"a newer file beside an older log", {second.database, first.log}, true, QStringLiteral("first")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(folder()).entryList({QStringLiteral("*set-aside*")}, QDir::Files))
            QFile::remove(folder() + u'/' + name);
        putFiles(c.files);
        LogCapture lines;
        UserDefaults defaults;
        EXPECT_EQ(defaults.string(QStringLiteral("value")), c.value);
        EXPECT_TRUE(defaults.string(QStringLiteral("only")).isEmpty()) << "nothing of the other log";
        const QStringList aside = QDir(folder()).entryList({QStringLiteral("standard.sqlite3-wal.set-aside-*")}, QDir::Files);
        ASSERT_EQ(aside.size(), c.setAside ? 1 : 0);
        if (c.setAside) {
            EXPECT_EQ(readFile(folder() + u'/' + aside.first()), c.files.log);
            EXPECT_TRUE(lines.contains(QStringLiteral("was not written on top of it")));
            EXPECT_TRUE(defaults.notice().contains(QStringLiteral("left out")) && defaults.notice().contains(aside.first()))
                << "told in Settings: " << defaults.notice().toStdString();
            defaults.dismissNotice();
        }
    }
}

} // namespace
