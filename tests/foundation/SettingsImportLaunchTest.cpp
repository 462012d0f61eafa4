#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/RawDatabase.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QSemaphore>
#include <QTest>
#include <QtConcurrent>

#include <gtest/gtest.h>

namespace {

class SettingsImportLaunchTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    // Puts an earlier version's files, as the test data holds them, where the launch looks.
    void placeFixture(const QString& name, bool fresh = true) const
    {
        if (fresh)
            QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        const QDir fixture(TestPaths::dataFile(QStringLiteral("legacy-settings/") + name));
        for (const QString& file : fixture.entryList(QDir::Files))
            if (file.startsWith(QStringLiteral("standard.json")))
                QFile::copy(fixture.filePath(file), folder() + u'/' + file);
    }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files); }
    // An earlier version's file of a setting and a list of three records, the list taken straight
    // into rows and the import committed on a worker, held there until `release` counts down.
    void placeUpgrade()
    {
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        const auto list = [](const QList<int>& keys) {
            QJsonArray records;
            for (const int key : keys)
                records.append(QJsonObject{{QStringLiteral("key"), key}});
            return QJsonObject{{QStringLiteral("type"), QStringLiteral("data")},
                {QStringLiteral("value"), QString::fromLatin1(QJsonDocument(records).toJson(QJsonDocument::Compact).toBase64())}};
        };
        QFile file(folder() + QStringLiteral("/standard.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{
                                     {kList, list({7, 8, 9})},
                                     {kOther, list({4, 5})},
                                     {QStringLiteral("appearance"), QJsonObject{{QStringLiteral("type"), QStringLiteral("string")}, {QStringLiteral("value"), QStringLiteral("dusk")}}},
                                 })
                       .toJson());
        UserDefaults::setEarlierLists({{kList, QStringLiteral("key")}, {kOther, QStringLiteral("key")}});
        UserDefaults::setImportInBackground(true);
        UserDefaults::setImportHold([this] { release_.acquire(); });
    }
    void TearDown() override
    {
        release_.release(100);
        UserDefaults::setImportHold({});
        UserDefaults::setImportInBackground(false);
        UserDefaults::setEarlierLists({});
    }
    QStringList storedKeys(const QString& path, const QString& list)
    {
        RawDatabase raw(path, SQLITE_OPEN_READONLY);
        QStringList keys;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(raw.handle(), "SELECT key FROM rows WHERE list = ? ORDER BY position", -1, &statement, nullptr);
        const QByteArray name = list.toUtf8();
        sqlite3_bind_text(statement, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW)
            keys.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
        sqlite3_finalize(statement);
        return keys;
    }

    static inline const QString kList = QStringLiteral("liked");
    static inline const QString kOther = QStringLiteral("recent");
    QSemaphore release_;

    TempFolder temp_;
};

// The first launch takes the earlier settings in, journal and all where it belongs to its file,
// keeps the old files renamed beside the database, and says nothing unless something could not
// be imported; a later launch never imports again.
TEST_F(SettingsImportLaunchTest, TheFirstLaunchImportsTheEarlierSettingsOnce)
{
    struct Case {
        const char* fixture;
        bool hasExpected;
        bool tellsTrouble;
        QStringList kept;
    };
    const Case cases[] = {
        {"before-journal", true, false, {QStringLiteral("standard.json.imported")}},
        {"no-journal", false, false, {QStringLiteral("standard.json.imported")}},
        {"journal", true, false, {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.journal.imported")}},
        {"restored-older-file", false, true, {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.journal.imported")}},
        {"journal-without-file", false, true, {QStringLiteral("standard.json.journal.imported")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        placeFixture(QString::fromLatin1(c.fixture));
        LogCapture log;
        {
            UserDefaults defaults;
            EXPECT_FALSE(defaults.readTrouble());
            EXPECT_FALSE(defaults.awaitsFile());
            EXPECT_EQ(log.contains(QStringLiteral("Opening the settings: ")), c.tellsTrouble);
            // The user reads what was left out in Settings, naming the file, until they dismiss it.
            EXPECT_EQ(defaults.notice().contains(QStringLiteral("standard.json.journal")), c.tellsTrouble) << defaults.notice().toStdString();
            EXPECT_EQ(defaults.canDismissNotice(), c.tellsTrouble);
            for (const QString& kept : c.kept)
                EXPECT_TRUE(files().contains(kept)) << kept.toStdString();
            EXPECT_FALSE(files().contains(QStringLiteral("standard.json")));
            if (c.hasExpected) {
                const QJsonObject expected = QJsonDocument::fromJson(
                    readFile(TestPaths::dataFile(QStringLiteral("legacy-settings/%1/expected.json").arg(QString::fromLatin1(c.fixture)))))
                                                 .object();
                ASSERT_FALSE(expected.isEmpty());
                RawDatabase raw(defaults.filePath(), SQLITE_OPEN_READONLY);
                for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
                    if (it.key() == QStringLiteral("Quorvelle.journalSequence"))
                        continue; // the old journal's own bookkeeping
                    const QByteArray stored = raw.text(QStringLiteral("SELECT entry FROM entries WHERE key = '%1'").arg(QString(it.key()).replace(u'\'', QStringLiteral("''")))).toUtf8();
                    EXPECT_EQ(QJsonDocument::fromJson(stored).object(), it.value().toObject()) << it.key().toStdString();
                }
            }
            defaults.setString(QStringLiteral("afterwards"), QStringLiteral("kept"));
        }
        // An earlier file put back (a backup, say) is not taken in over what came since.
        placeFixture(QString::fromLatin1(c.fixture), false);
        UserDefaults next;
        EXPECT_EQ(next.string(QStringLiteral("afterwards")), QStringLiteral("kept"));
        EXPECT_EQ(next.notice().isEmpty(), !c.tellsTrouble) << "told until dismissed";
        next.dismissNotice();
        EXPECT_TRUE(next.notice().isEmpty());
    }
}

// An earlier settings file that cannot be read yet (no free descriptor, something in its place) is
// never taken for none: nothing starts empty over it, the session's changes wait in the recovery
// database, and it is imported once it reads.
TEST_F(SettingsImportLaunchTest, AnEarlierFileThatCannotBeReadYetIsNotTakenForNone)
{
    placeFixture(QStringLiteral("journal"));
    const QString legacy = folder() + QStringLiteral("/standard.json");
    QFile::rename(legacy, legacy + QStringLiteral(".away"));
    QDir().mkdir(legacy);
    {
        UserDefaults defaults;
        EXPECT_TRUE(defaults.awaitsFile());
        defaults.setString(QStringLiteral("meanwhile"), QStringLiteral("kept"));
    }
    QDir().rmdir(legacy);
    QFile::rename(legacy + QStringLiteral(".away"), legacy);
    UserDefaults next;
    EXPECT_FALSE(next.awaitsFile());
    EXPECT_EQ(next.string(QStringLiteral("appearance")), QStringLiteral("dusk"));
    EXPECT_EQ(next.string(QStringLiteral("meanwhile")), QStringLiteral("kept"));
}

// An import committed on a worker is read at once: the earlier values, and the keys of the list it
// brings; the list's records are read once it is in. What the session changes meanwhile goes in
// after it and wins, whether the import ends while the session runs or the quit waits for it.
TEST_F(SettingsImportLaunchTest, AnImportOnAWorkerIsReadAtOnceAndWhatChangesMeanwhileGoesInAfterIt)
{
    for (const bool atTheQuit : {false, true}) {
        SCOPED_TRACE(atTheQuit ? "ended at the quit" : "ended while running");
        placeUpgrade();
        LogCapture log;
        auto defaults = std::make_unique<UserDefaults>();
        const QString path = defaults->filePath();
        ASSERT_TRUE(defaults->importsEarlierSettings());
        EXPECT_EQ(defaults->string(QStringLiteral("appearance")), QStringLiteral("dusk"));
        EXPECT_FALSE(defaults->contains(kList));
        QStringList listKeys = defaults->storedKeysReader(kList)();
        listKeys.sort();
        EXPECT_EQ(listKeys, (QStringList{QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")}));
        EXPECT_TRUE(defaults->storedKeysReader(QStringLiteral("other"))().isEmpty());
        QFuture<QStringList> records = QtConcurrent::run([read = defaults->storedArrayReader(kList)] {
            QStringList keys;
            read(1 << 20, [&keys](UserDefaults::StoredArray&& slice) {
                keys += slice.keys;
                return QByteArray();
            });
            return keys;
        });
        defaults->setString(QStringLiteral("appearance"), QStringLiteral("noon"));
        EXPECT_FALSE(defaults->changeRows(kOther, {{{QStringLiteral("3"), -kRowGap, QByteArray(R"({"key":3})")}}, {QStringLiteral("5")}}));
        EXPECT_EQ(defaults->string(QStringLiteral("appearance")), QStringLiteral("noon"));
        // A list changed meanwhile has its keys read with its change at once.
        listKeys = defaults->storedKeysReader(kOther)();
        listKeys.sort();
        EXPECT_EQ(listKeys, (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
        EXPECT_TRUE(files().contains(QStringLiteral("standard.json"))) << "renamed only once imported";

        release_.release();
        if (atTheQuit)
            defaults.reset();
        else
            ASSERT_EVENTUALLY(!defaults->importsEarlierSettings(), 10'000);
        EXPECT_EQ(records.result(), (QStringList{QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")}));
        EXPECT_TRUE(log.contains(QStringLiteral("Saved the changes made while the earlier settings were imported")));
        EXPECT_TRUE(files().contains(QStringLiteral("standard.json.imported")));
        EXPECT_EQ(storedKeys(path, kList), (QStringList{QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")}));
        EXPECT_EQ(storedKeys(path, kOther), (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
        defaults.reset();
        EXPECT_EQ(UserDefaults().string(QStringLiteral("appearance")), QStringLiteral("noon"));
    }
}

// An import its worker could not commit costs nothing: the session goes on with what the
// recovery database keeps, as when the database does not open, and the import is made again
// when it is tried next, with the session's changes over it.
TEST_F(SettingsImportLaunchTest, AnImportItsWorkerCouldNotCommitIsMadeAgainWithTheSessionsChanges)
{
    placeUpgrade();
    std::unique_ptr<RawDatabase> writer;
    UserDefaults::setImportHold([this, &writer] {
        // Another writer holds the database past the import's wait for it.
        writer = std::make_unique<RawDatabase>(UserDefaults::databasePathOf(UserDefaults::kStandardDomain));
        writer->execute(QStringLiteral("BEGIN IMMEDIATE"));
        release_.release();
    });
    UserDefaults defaults;
    defaults.setString(QStringLiteral("meanwhile"), QStringLiteral("kept"));
    QStringList changed;
    QObject::connect(&defaults, &UserDefaults::valueChanged, [&changed](const QString& key) { changed.append(key); });
    ASSERT_EVENTUALLY(!defaults.importsEarlierSettings(), 20'000);
    EXPECT_TRUE(defaults.awaitsFile());
    EXPECT_TRUE(changed.contains(QStringLiteral("appearance")) && changed.contains(kList)) << changed.join(u',').toStdString();
    EXPECT_EQ(defaults.string(QStringLiteral("meanwhile")), QStringLiteral("kept"));
    EXPECT_TRUE(files().contains(QStringLiteral("standard.json")));

    release_.acquire();
    writer.reset();
    ASSERT_EVENTUALLY(!defaults.awaitsFile(), 20'000);
    EXPECT_EQ(defaults.string(QStringLiteral("appearance")), QStringLiteral("dusk"));
    EXPECT_EQ(defaults.string(QStringLiteral("meanwhile")), QStringLiteral("kept"));
    EXPECT_EQ(defaults.rows(kList).size(), 3);
    EXPECT_TRUE(files().contains(QStringLiteral("standard.json.imported")));
}

} // namespace
