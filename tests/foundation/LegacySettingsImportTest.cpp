#include "foundation/JsonWriter.h"
#include "foundation/LegacyJournal.h"
#include "foundation/LegacyJournalReplay.h"
#include "foundation/LegacySettingsImport.h"

#include "support/FileBytes.h"
#include "support/NoFreeDescriptors.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

#include <functional>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Entries = QList<std::pair<QString, QByteArray>>;

const QString kLiked = QStringLiteral("likedWallpapersModels");

QString fixture(const QString& name, const QString& file)
{
    return TestPaths::dataFile(QStringLiteral("legacy-settings/") + name + QLatin1Char('/') + file);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The entries of a settings file written whole by the old store, as the import gives them.
Entries entriesOf(const QByteArray& json)
{
    Entries entries;
    const QJsonObject members = QJsonDocument::fromJson(json).object();
    for (auto it = members.constBegin(); it != members.constEnd(); ++it)
        if (it.key() != QStringLiteral("Quorvelle.journalSequence"))
            entries.append({it.key(), JsonWriter::toBytes(it.value(), true)});
    return entries;
}

QList<QByteArray> recordsOf(const QByteArray& journal) { return LegacyJournal::parse(journal).records; }

QByteArray framed(const QList<QByteArray>& records)
{
    QByteArray bytes;
    for (const QByteArray& record : records) {
        for (const quint32 word : {quint32(record.size()), LegacyJournal::crc32(record)})
            for (int shift = 0; shift < 32; shift += 8)
                bytes += char((word >> shift) & 0xff);
        bytes += record;
    }
    return bytes;
}

QString joinedTroubles(const LegacySettings& settings) { return settings.troubles.join(u'\n'); }

class LegacySettingsImportTest : public ::testing::Test {
protected:
    LegacySettingsImportTest() { fresh(); }

    // A new empty folder for the next case.
    void fresh()
    {
        temp_.reset();
        temp_.emplace();
    }
    QString file(const QString& name) const { return temp_->file(name); }
    QString json() const { return file(QStringLiteral("standard.json")); }
    QString journal() const { return json() + QStringLiteral(".journal"); }

    // The files of a checked-in case, copied into the test's folder.
    void copyCase(const QString& name)
    {
        for (const QString& file : {QStringLiteral("standard.json"), QStringLiteral("standard.json.journal")})
            if (QFile::exists(fixture(name, file))) {
                ASSERT_TRUE(QFile::copy(fixture(name, file), this->file(file)));
            }
    }

    // Reads and checks that reading wrote nothing.
    LegacySettings readUnchanged()
    {
        const QByteArray jsonBefore = readFile(json());
        const QByteArray journalBefore = readFile(journal());
        const std::optional<LegacySettings> settings = LegacySettingsImport::read(json());
        EXPECT_EQ(readFile(json()), jsonBefore);
        EXPECT_EQ(readFile(journal()), journalBefore);
        EXPECT_TRUE(settings.has_value());
        EXPECT_FALSE(settings && settings->passingFailure) << qPrintable(*settings->passingFailure);
        return settings.value_or(LegacySettings{});
    }

    // What the "journal" case imports with only its first `count` records.
    Entries withFirstRecords(qsizetype count)
    {
        TempFolder other;
        const QString otherJson = other.file(QStringLiteral("standard.json"));
        EXPECT_TRUE(QFile::copy(fixture(QStringLiteral("journal"), QStringLiteral("standard.json")), otherJson));
        const QList<QByteArray> records = recordsOf(readFile(fixture(QStringLiteral("journal"), QStringLiteral("standard.json.journal"))));
        EXPECT_TRUE(writeFile(otherJson + QStringLiteral(".journal"), framed(records.mid(0, count))));
        const std::optional<LegacySettings> settings = LegacySettingsImport::read(otherJson);
        EXPECT_TRUE(settings && settings->troubles.isEmpty());
        return settings ? settings->entries : Entries();
    }

    std::optional<TempFolder> temp_;
};

// Files as the last two versions of the store left them, each read as that store read them,
// except where a journal does not belong to its file.
TEST_F(LegacySettingsImportTest, ImportsFilesWrittenByEarlierVersions)
{
    struct Case {
        const char* name;
        // The file whose entries are imported: the store's own reading of the case, or the file alone.
        const char* expected;
        QStringList troubleParts;
    };
    const Case cases[] = {
        {"before-journal", "expected.json", {}},
        {"no-journal", "expected.json", {}},
        {"journal", "expected.json", {}},
        {"restored-older-file", "expected.json",
            {QStringLiteral("6 changes in standard.json.journal could not be applied"), QStringLiteral("restored from an older copy"),
                QStringLiteral("standard.json.journal.imported")}},
        {"journal-without-file", nullptr,
            {QStringLiteral("standard.json.journal was found without its settings file"),
                QStringLiteral("standard.json.journal.imported")}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fresh();
        copyCase(QString::fromLatin1(test.name));
        const LegacySettings settings = readUnchanged();
        EXPECT_EQ(settings.entries, test.expected ? entriesOf(readFile(fixture(QString::fromLatin1(test.name), QString::fromLatin1(test.expected)))) : Entries());
        EXPECT_EQ(settings.troubles.size(), test.troubleParts.isEmpty() ? 0 : 1) << qPrintable(joinedTroubles(settings));
        for (const QString& part : test.troubleParts)
            EXPECT_TRUE(joinedTroubles(settings).contains(part)) << qPrintable(joinedTroubles(settings));
    }
}

TEST_F(LegacySettingsImportTest, ADamagedMiddleRecordStopsTheReplayThere)
{
    copyCase(QStringLiteral("damaged-middle-record"));
    const LegacySettings settings = readUnchanged();
    EXPECT_EQ(settings.entries, withFirstRecords(1));
    ASSERT_EQ(settings.troubles.size(), 1);
    EXPECT_TRUE(settings.troubles.first().startsWith(QStringLiteral("5 changes in standard.json.journal could not be applied "
                                                                    "(change 2 of the journal is damaged)")))
        << qPrintable(settings.troubles.first());
}

// The journal's records changed as a disk, a backup or a crash changes them: each record that
// does not provably follow the file, and every one after it, is left out and told.
TEST_F(LegacySettingsImportTest, AppliesOnlyTheRecordsThatFollowTheFile)
{
    const QList<QByteArray> original = recordsOf(readFile(fixture(QStringLiteral("journal"), QStringLiteral("standard.json.journal"))));
    ASSERT_EQ(original.size(), 6);
    // The file holds records up to 2; these are 3 to 8.
    const QByteArray heldByFile = "{\"seq\":2,\"key\":\"appearance\",\"entry\":{\"type\":\"string\",\"value\":\"stale\"}}";
    struct Case {
        const char* name;
        std::function<QByteArray()> journal;
        qsizetype applied;
        QString trouble;
    };
    const auto records = [&original](std::function<void(QList<QByteArray>&)> change) {
        return [&original, change] {
            QList<QByteArray> changed = original;
            change(changed);
            return framed(changed);
        };
    };
    const Case cases[] = {
        {"whole", records([](QList<QByteArray>&) {}), 6, {}},
        {"records the file holds are skipped", records([&](QList<QByteArray>& list) { list.prepend(heldByFile); }), 6, {}},
        {"a record dropped", records([](QList<QByteArray>& list) { list.removeAt(2); }), 2,
            QStringLiteral("3 changes in standard.json.journal could not be applied (change number 6 does not follow number 4)")},
        {"a record twice", records([](QList<QByteArray>& list) { list.insert(1, list.at(1)); }), 2,
            QStringLiteral("5 changes in standard.json.journal could not be applied (change number 4 does not follow number 4)")},
        {"two records swapped", records([](QList<QByteArray>& list) { list.swapItemsAt(1, 2); }), 1,
            QStringLiteral("(change number 5 does not follow number 3)")},
        {"the first record past the file's next", records([](QList<QByteArray>& list) { list.removeFirst(); }), 0,
            QStringLiteral("5 changes in standard.json.journal could not be applied (they do not follow on from the settings file")},
        {"bad content framed as a whole record", records([](QList<QByteArray>& list) { list[3] = "{\"seq\":6,\"key\":"; }), 3,
            QStringLiteral("3 changes in standard.json.journal could not be applied (change 4 of the journal cannot be read)")},
        {"an inserted element that is no JSON",
            records([](QList<QByteArray>& list) { list[0] = "{\"seq\":3,\"key\":\"likedWallpapersModels\",\"splices\":[[0,0,[\"{\"]]]}"; }),
            0, QStringLiteral("(change 1 of the journal cannot be read)")},
        {"a splice past the list's end",
            records([](QList<QByteArray>& list) { list[2] = "{\"seq\":5,\"key\":\"likedWallpapersModels\",\"splices\":[[99,1,[]]]}"; }),
            2, QStringLiteral("4 changes in standard.json.journal could not be applied (change number 5 does not fit the list "
                              "\"likedWallpapersModels\")")},
        {"a splice on a value that is no list",
            records([](QList<QByteArray>& list) { list[2] = "{\"seq\":5,\"key\":\"appearance\",\"splices\":[[0,0,[]]]}"; }), 2,
            QStringLiteral("(change number 5 does not fit the list \"appearance\")")},
        {"the last record cut short", [&original] { return framed(original).chopped(5); }, 5,
            QStringLiteral("The changes in standard.json.journal from its change 6 on could not be applied (the journal breaks off "
                           "there)")},
        {"a bit flipped in a length", [&original] {
             QByteArray bytes = framed(original);
             bytes[8 + original.at(0).size() + 8 + original.at(1).size() + 1] ^= 0x10;
             return bytes;
         },
            2, QStringLiteral("from its change 3 on could not be applied (the journal breaks off there)")},
        {"a bit flipped in a record", [&original] {
             QByteArray bytes = framed(original);
             bytes[8 + original.at(0).size() + 8 + original.at(1).size() + 8 + 20] ^= 0x01;
             return bytes;
         },
            2, QStringLiteral("4 changes in standard.json.journal could not be applied (change 3 of the journal is damaged)")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fresh();
        copyCase(QStringLiteral("journal"));
        ASSERT_TRUE(writeFile(journal(), test.journal()));
        const LegacySettings settings = readUnchanged();
        EXPECT_EQ(settings.entries, withFirstRecords(test.applied));
        if (test.trouble.isEmpty()) {
            EXPECT_TRUE(settings.troubles.isEmpty()) << qPrintable(joinedTroubles(settings));
        } else {
            EXPECT_TRUE(settings.troubles.size() == 1 && settings.troubles.first().contains(test.trouble))
                << qPrintable(joinedTroubles(settings));
        }
    }
}

// Numbers at the end of the range a file or a journal may carry are compared, never overflowed:
// nothing can follow the largest number.
TEST(LegacyJournalReplayTest, NumbersAtTheEndOfTheRangeStopTheReplay)
{
    constexpr qint64 kLast = std::numeric_limits<qint64>::max();
    const auto record = [](qint64 sequence) -> QByteArray {
        return "{\"seq\":" + QByteArray::number(sequence) + R"(,"key":"appearance","entry":{"type":"string","value":"x"}})";
    };
    struct Case {
        const char* name;
        qint64 fileSequence;
        QList<QByteArray> records;
        qsizetype applied;
        const char* stoppedBecause;
    };
    const Case cases[] = {
        {"the file at the largest number", kLast, {record(kLast)}, 0, ""},
        {"a journal up to the largest number, then one more", kLast - 1, {record(kLast), record(kLast)}, 1,
            "change number 9223372036854775807 does not follow number 9223372036854775807"},
        {"the smallest number after the file's", 0, {record(std::numeric_limits<qint64>::min())}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMap<QString, QByteArray> entries;
        const LegacyJournalReplay replay = LegacyJournalReplay::run(entries, c.fileSequence, c.records);
        EXPECT_EQ(replay.applied, c.applied);
        EXPECT_EQ(replay.stoppedBecause, QString::fromLatin1(c.stoppedBecause));
    }
}

// A link in a file's place, or another user's file (planted in a folder others could write to),
// is neither followed, read nor written: nothing of it is imported, and the trouble names it.
TEST_F(LegacySettingsImportTest, LinksAndOtherUsersFilesAreNeitherReadNorWritten)
{
    struct Case {
        const char* name;
        bool journalOnly;
        bool link;
        const char* trouble;
    };
    const Case cases[] = {
        {"the journal a link", true, true, "standard.json.journal is a symbolic link, so its changes were not applied"},
        {"the settings file a link", false, true, "standard.json is a symbolic link, so it was not imported"},
        {"the journal another user's", true, false, "standard.json.journal belongs to another user, so its changes were not applied"},
        {"the settings file another user's", false, false, "standard.json belongs to another user, so it was not imported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.link && ::geteuid() != 0)
            continue; // only root can give a file to another user
        fresh();
        copyCase(QStringLiteral("journal"));
        const QString refused = c.journalOnly ? journal() : json();
        const QString target = file(QStringLiteral("elsewhere"));
        if (c.link) {
            ASSERT_TRUE(QFile::rename(refused, target));
            ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(refused).constData()), 0);
        } else {
            ASSERT_TRUE(QFile::copy(refused, target));
            ASSERT_EQ(::chown(QFile::encodeName(refused).constData(), 65534, 65534), 0);
        }
        const QByteArray targetBytes = readFile(target);

        const LegacySettings settings = readUnchanged();
        EXPECT_EQ(settings.entries, c.journalOnly ? entriesOf(readFile(json())) : Entries());
        ASSERT_FALSE(settings.troubles.isEmpty());
        EXPECT_TRUE(settings.troubles.first().startsWith(QString::fromLatin1(c.trouble))) << qPrintable(settings.troubles.first());

        QString failure;
        ASSERT_TRUE(LegacySettingsImport::keepImported(json(), &failure)) << qPrintable(failure);
        EXPECT_EQ(QFileInfo(refused + QStringLiteral(".imported")).isSymLink(), c.link);
        EXPECT_EQ(readFile(target), targetBytes);
    }
}

// A file that no longer parses as a whole gives every entry that still reads; entries this
// version cannot read are kept as they stand.
TEST_F(LegacySettingsImportTest, KeepsWhatADamagedFileStillHolds)
{
    const QByteArray whole = readFile(fixture(QStringLiteral("journal"), QStringLiteral("standard.json")));
    const QByteArray volume = "\"volume\":{\"type\":\"double\",\"value\":0.25}";
    ASSERT_TRUE(whole.contains(volume));
    const auto without = [](Entries entries, const QStringList& keys) {
        entries.removeIf([&keys](const auto& entry) { return keys.contains(entry.first); });
        return entries;
    };
    struct Case {
        const char* name;
        QByteArray file;
        bool withJournal;
        std::function<Entries()> expected;
        QStringList troubleParts;
    };
    const Case cases[] = {
        {"a garbled entry", QByteArray(whole).replace(volume, "\"volume\":{\"type\":\"double\",\"value\":0.2#5}"), true,
            [&] { return without(withFirstRecords(6), {QStringLiteral("volume")}); },
            {QStringLiteral("Your settings file standard.json is damaged"), QStringLiteral("the settings \"volume\" could not be read."),
                QStringLiteral("standard.json.imported")}},
        {"cut short: the journal's place in it is lost", whole.left(whole.indexOf("\"ownVideos\"") + 30), true,
            [&] { return without(entriesOf(whole), {QStringLiteral("ownVideos"), QStringLiteral("playlistInterval"),
                QStringLiteral("recentSearches"), QStringLiteral("volume")}); },
            {QStringLiteral("the settings \"ownVideos\" could not be read, and the settings after them are missing"),
                QStringLiteral("6 changes in standard.json.journal could not be applied (the damaged settings file no longer says "
                               "which of them it holds)")}},
        {"empty", QByteArray(), false, [] { return Entries(); }, {QStringLiteral("nothing in it could be read")}},
        {"entries of unknown types and bad values",
            "{\"a\":{\"type\":\"colour\",\"value\":\"red\"},\"b\":{\"type\":\"integer\",\"value\":\"x\"},\"c\":7}", false,
            [] {
                return Entries{{QStringLiteral("a"), "{\"type\":\"colour\",\"value\":\"red\"}"},
                    {QStringLiteral("b"), "{\"type\":\"integer\",\"value\":\"x\"}"}, {QStringLiteral("c"), "7"}};
            },
            {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fresh();
        ASSERT_TRUE(writeFile(json(), test.file));
        if (test.withJournal) {
            ASSERT_TRUE(QFile::copy(fixture(QStringLiteral("journal"), QStringLiteral("standard.json.journal")), journal()));
        }
        const LegacySettings settings = readUnchanged();
        EXPECT_EQ(settings.entries, test.expected());
        for (const QString& part : test.troubleParts)
            EXPECT_TRUE(joinedTroubles(settings).contains(part)) << qPrintable(joinedTroubles(settings));
        if (test.troubleParts.isEmpty()) {
            EXPECT_TRUE(settings.troubles.isEmpty()) << qPrintable(joinedTroubles(settings));
        }
    }
}

// A file that cannot be read now is not taken for no file: the caller is told to try again.
TEST_F(LegacySettingsImportTest, TellsAPassingFailureApartFromNothingThere)
{
    std::optional<NoFreeDescriptors> noneFree;
    struct Case {
        const char* name;
        std::function<bool()> arrange;
        std::function<void()> undo;
        const char* reason;
    };
    const Case cases[] = {
        {"no free file descriptor", [&] { return noneFree.emplace().holds(); }, [&] { noneFree.reset(); },
            "standard.json cannot be read: "},
        {"no right to read it", [&] { return QFile::setPermissions(json(), {}) && ::geteuid() != 0; },
            [&] { QFile::setPermissions(json(), QFile::ReadOwner | QFile::WriteOwner); }, "standard.json cannot be read: "},
        {"a folder in the file's place", [&] { return QFile::remove(json()) && QDir().mkdir(json()); }, [] {}, "it is not a file"},
        {"a pipe in the journal's place", [&] { return ::mkfifo(QFile::encodeName(journal()).constData(), 0600) == 0; }, [] {},
            "standard.json.journal cannot be read: it is not a file"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fresh();
        copyCase(QStringLiteral("no-journal"));
        if (!test.arrange()) {
            test.undo();
            continue; // root reads whatever the mode says
        }
        const std::optional<LegacySettings> settings = LegacySettingsImport::read(json());
        test.undo();
        ASSERT_TRUE(settings.has_value());
        ASSERT_TRUE(settings->passingFailure.has_value());
        EXPECT_TRUE(settings->passingFailure->contains(QString::fromLatin1(test.reason))) << qPrintable(*settings->passingFailure);
        EXPECT_TRUE(settings->entries.isEmpty());
    }
    fresh();
    EXPECT_FALSE(LegacySettingsImport::read(json()).has_value());
    // An empty journal alone holds nothing to tell.
    ASSERT_TRUE(writeFile(journal(), {}));
    const std::optional<LegacySettings> emptyJournal = LegacySettingsImport::read(json());
    ASSERT_TRUE(emptyJournal.has_value());
    EXPECT_TRUE(emptyJournal->entries.isEmpty() && emptyJournal->troubles.isEmpty() && !emptyJournal->passingFailure);
}

TEST_F(LegacySettingsImportTest, KeepsTheImportedFilesUnderNamesNotTaken)
{
    struct Case {
        const char* name;
        QStringList present;
        QStringList takenNames;
        QStringList keptAs;
    };
    const Case cases[] = {
        {"file and journal", {QStringLiteral("standard.json"), QStringLiteral("standard.json.journal")}, {},
            {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.journal.imported")}},
        {"a name already taken", {QStringLiteral("standard.json")},
            {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.imported-2")}, {QStringLiteral("standard.json.imported-3")}},
        {"a journal alone", {QStringLiteral("standard.json.journal")}, {}, {QStringLiteral("standard.json.journal.imported")}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fresh();
        for (const QString& name : test.present + test.takenNames)
            ASSERT_TRUE(writeFile(file(name), name.toUtf8()));
        QString failure;
        ASSERT_TRUE(LegacySettingsImport::keepImported(json(), &failure)) << qPrintable(failure);
        for (qsizetype index = 0; index < test.present.size(); ++index) {
            EXPECT_FALSE(QFile::exists(file(test.present.at(index))));
            EXPECT_EQ(readFile(file(test.keptAs.at(index))), test.present.at(index).toUtf8());
        }
        for (const QString& name : test.takenNames)
            EXPECT_EQ(readFile(file(name)), name.toUtf8());
    }
}

// A long library in the same format: its list is copied straight into its entry and the
// journal's splices are made on its elements.
TEST_F(LegacySettingsImportTest, ImportsALongLibraryWithItsJournal)
{
    constexpr int kLikedCount = 78'036;
    const auto element = [](int number) -> QByteArray {
        return "{\"id\":" + QByteArray::number(number) + ",\"key\":\"w" + QByteArray::number(number) + "\",\"title\":\""
            + QByteArray(660, 'w') + "\"}";
    };
    QList<QByteArray> list;
    list.reserve(kLikedCount + 100);
    for (int number = kLikedCount; number >= 1; --number)
        list.append(element(number));
    const QByteArray listJson = '[' + list.join(',') + ']';
    ASSERT_TRUE(writeFile(json(),
        "{\"appearance\":{\"type\":\"string\",\"value\":\"dark\"},\"" + kLiked.toUtf8() + "\":{\"type\":\"data\",\"value\":\""
            + listJson.toBase64() + "\"},\"Quorvelle.journalSequence\":{\"type\":\"integer\",\"value\":40}}"));
    // Likes and unlikes as the store journaled them, and a setting.
    QList<QByteArray> records;
    for (int change = 0; change < 150; ++change) {
        const qint64 sequence = 41 + change;
        const QByteArray head = "{\"seq\":" + QByteArray::number(sequence) + ",\"key\":\"" + kLiked.toUtf8() + "\",\"splices\":";
        if (change % 3 == 2) {
            const qsizetype at = (change * 977) % list.size();
            list.removeAt(at);
            records.append(head + "[[" + QByteArray::number(at) + ",1,[]]]}");
        } else {
            list.prepend(element(kLikedCount + change + 1));
            records.append(head + "[[0,0," + JsonWriter::toBytes(QJsonArray{QString::fromUtf8(list.first())}) + "]]}");
        }
    }
    records.append("{\"seq\":191,\"key\":\"appearance\",\"entry\":{\"type\":\"string\",\"value\":\"light\"}}");
    ASSERT_TRUE(writeFile(journal(), framed(records)));

    const LegacySettings settings = readUnchanged();
    EXPECT_TRUE(settings.troubles.isEmpty()) << qPrintable(joinedTroubles(settings));
    ASSERT_EQ(settings.entries.size(), 2);
    EXPECT_EQ(settings.entries.at(0), std::pair(QStringLiteral("appearance"), QByteArray("{\"type\":\"string\",\"value\":\"light\"}")));
    EXPECT_EQ(settings.entries.at(1).first, kLiked);
    const QByteArray joined = '[' + list.join(',') + ']';
    EXPECT_TRUE(settings.entries.at(1).second == "{\"type\":\"data\",\"value\":\"" + joined.toBase64() + "\"}");
}

} // namespace
