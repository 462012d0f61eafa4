#include "LibraryFixture.h"

#include "library/PersonalWallpaperList.h"
#include "support/Eventually.h"
#include "support/HeldEarlierImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <functional>

namespace {

using PersonalWallpaperListTest = LibraryFixture;

const QString kList = QStringLiteral("listUnderTest");

PersonalWallpaperList testList(UserDefaults& defaults)
{
    return PersonalWallpaperList(defaults, kList,
        StoredList::Lines{QStringLiteral("Test"), QStringLiteral("📋"), QStringLiteral("test wallpapers"),
            QStringLiteral("Loaded %1"), QStringLiteral("Saved %1")});
}

// The rows a change made: the keys put (new, moved or with another record) and those removed.
struct RowsChanged {
    QStringList put;
    QStringList removed;

    static RowsChanged between(const QList<StoredRow>& before, const QList<StoredRow>& after)
    {
        QHash<QString, StoredRow> earlier;
        for (const StoredRow& row : before)
            earlier.insert(row.key, row);
        RowsChanged changed;
        for (const StoredRow& row : after) {
            if (!earlier.contains(row.key) || !(earlier.take(row.key) == row))
                changed.put.append(row.key);
        }
        changed.removed = earlier.keys();
        changed.removed.sort();
        return changed;
    }
};

// Each step of a long list touches only the rows of the wallpapers it changed, and a restart
// reads the list as the steps left it: a like in front, an unlike, a recent moved to the front
// from far down, a record refreshed in place; a cut removes the rows it cut and no other.
TEST_F(PersonalWallpaperListTest, ALongListsStepsTouchOnlyTheirRowsAndReadBackInOrder)
{
    constexpr qint64 kCount = 2000;
    {
        PersonalWallpaperList list = testList(defaults());
        for (qint64 key = 1; key <= kCount; ++key) {
            list.insertAtFront(key);
            list.put(wallpaper(key, QStringLiteral("Kept %1").arg(key)));
        }
        list.save();
    }
    reopenDefaults();
    PersonalWallpaperList list = testList(defaults());
    list.load();
    ASSERT_EQ(list.order().size(), kCount);
    // The keys beyond the first `count`, as the rows a cut to them removes.
    const auto beyond = [&list](qsizetype count) {
        QStringList keys;
        for (const qint64 key : list.order().mid(count))
            keys.append(QString::number(key));
        keys.sort();
        return keys;
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        QStringList put;
        std::function<QStringList()> removed;
    };
    const auto none = [] { return QStringList(); };
    const Step steps[] = {
        {"a like", [&] { list.insertAtFront(5001); list.put(wallpaper(5001, QStringLiteral("Liked"))); }, {QStringLiteral("5001")}, none},
        {"an unlike", [&] { list.removeFromOrder(1500); list.removeRecord(1500); }, {}, [] { return QStringList{QStringLiteral("1500")}; }},
        {"moved to the front", [&] { list.moveToFront(3); }, {QStringLiteral("3")}, none},
        {"refreshed in place", [&] { list.put(wallpaper(700, QStringLiteral("Renamed"))); }, {QStringLiteral("700")}, none},
        {"cut to its first half", [&] { list.keepFirst(kCount / 2); }, {}, [&] { return beyond(kCount / 2); }},
        {"a like after the cut", [&] { list.insertAtFront(5002); list.put(wallpaper(5002, QStringLiteral("Later"))); }, {QStringLiteral("5002")}, none},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const QList<StoredRow> before = defaults().rows(kList);
        const QStringList removed = step.removed();
        step.change();
        list.save();
        const RowsChanged changed = RowsChanged::between(before, defaults().rows(kList));
        EXPECT_EQ(changed.put, step.put);
        EXPECT_EQ(changed.removed, removed);

        const QList<WallpaperModel> expected = list.inOrder();
        UserDefaults again;
        PersonalWallpaperList readAgain = testList(again);
        readAgain.load();
        EXPECT_EQ(titles(readAgain.inOrder()), titles(expected));
        EXPECT_EQ(readAgain.order(), list.order());
    }
}

// A list an earlier version kept as one value becomes rows at its first read, in one step: each
// record under its key, in order; a record that does not read keeps a row of its own, so nothing
// of it is lost; the earlier value goes, and the next change touches only its own row.
TEST_F(PersonalWallpaperListTest, AnEarlierVersionsValueBecomesRowsAtItsFirstRead)
{
    storeEarlier(kList, {wallpaper(3, QStringLiteral("Three")).toJson(), QJsonValue(7), wallpaper(1, QStringLiteral("One")).toJson()});
    {
        PersonalWallpaperList list = testList(defaults());
        list.load();
        EXPECT_EQ(list.order(), (QList<qint64>{3, 1}));
        EXPECT_TRUE(list.isIncomplete());
    }
    EXPECT_FALSE(defaults().contains(kList)) << "the earlier value is now the rows";
    const QList<StoredRow> moved = defaults().rows(kList);
    ASSERT_EQ(moved.size(), 3);
    EXPECT_EQ(moved.at(0).key, QStringLiteral("3"));
    EXPECT_EQ(moved.at(1).record, QByteArray("7")) << "kept as it was";
    EXPECT_EQ(moved.at(2).key, QStringLiteral("1"));

    reopenDefaults();
    PersonalWallpaperList list = testList(defaults());
    list.load();
    EXPECT_EQ(titles(list.inOrder()), (QStringList{QStringLiteral("Three"), QStringLiteral("One")}));
    list.insertAtFront(5);
    list.put(wallpaper(5, QStringLiteral("Five")));
    list.save();
    const RowsChanged changed = RowsChanged::between(moved, defaults().rows(kList));
    EXPECT_EQ(changed.put, QStringList{QStringLiteral("5")});
    EXPECT_TRUE(changed.removed.isEmpty()) << "the row that does not read stays";
}

// An earlier value too long to be read in one piece becomes the same rows: every record in its
// place, a key met again in a later piece and a record that does not read each in a row of its own.
TEST_F(PersonalWallpaperListTest, AnEarlierValueReadInPiecesBecomesTheSameRows)
{
    constexpr qsizetype kRecords = 1'600;
    const qsizetype repeated = 1'050;
    const qsizetype unreadable = 1'499;
    QJsonArray earlier;
    for (qsizetype i = 0; i < kRecords; ++i) {
        if (i == repeated)
            earlier.append(wallpaper(3, QStringLiteral("Three again")).toJson());
        else if (i == unreadable)
            earlier.append(QJsonValue(7));
        else
            earlier.append(wallpaper(1'000 + i, QStringLiteral("Kept %1").arg(i)).toJson());
    }
    earlier.replace(0, wallpaper(3, QStringLiteral("Three")).toJson());
    storeEarlier(kList, earlier);
    testList(defaults()).load();

    const QList<StoredRow> moved = defaults().rows(kList);
    ASSERT_EQ(moved.size(), kRecords);
    for (qsizetype i = 0; i < kRecords; ++i) {
        const QString expected = i == 0 ? QStringLiteral("3")
                                 : i == repeated || i == unreadable ? QStringLiteral("unread-%1").arg(i)
                                                                    : QString::number(1'000 + i);
        ASSERT_EQ(moved.at(i).key, expected) << "row " << i;
        ASSERT_EQ(moved.at(i).record, JsonWriter::toBytes(earlier.at(i))) << "row " << i;
    }
}

// An earlier settings file's list comes over as the very rows the list itself makes of it at its
// first read, and no entry is left under its key: the first start after an upgrade does not
// write the list whole only to take it apart. A value that is no list of records, and a list the
// database holds rows of already, stay entries for the list to deal with as before.
TEST_F(PersonalWallpaperListTest, AnEarlierSettingsFilesListIsImportedAsTheRowsTheListMakes)
{
    QJsonArray earlier;
    // More records than one task parses, a key met again, a record that does not read, one
    // without its key.
    for (qint64 i = 0; i < 1'200; ++i)
        earlier.append(wallpaper(i == 900 ? 3 : 100 + i, QStringLiteral("Kept %1").arg(i)).toJson());
    earlier.replace(0, wallpaper(3, QStringLiteral("Three")).toJson());
    earlier.replace(600, QJsonValue(7));
    earlier.replace(700, wallpaper(std::nullopt, QStringLiteral("Keyless")).toJson());
    const QJsonObject asData{{QStringLiteral("type"), QStringLiteral("data")},
        {QStringLiteral("value"), QString::fromLatin1(JsonWriter::toBytes(earlier).toBase64())}};
    const struct Cleanup {
        ~Cleanup() { UserDefaults::setEarlierLists({}); }
    } cleanup;
    // A launch of this version on the earlier file holding `entry` under the list's key, the
    // list imported as rows or not; with rows of the list stored before when `rowsBefore`.
    const auto launchOn = [this](const QJsonObject& entry, bool asRows, bool rowsBefore = false) {
        defaults_.reset();
        const QString folder = QFileInfo(UserDefaults::databasePathOf(UserDefaults::kStandardDomain)).absolutePath();
        QDir(folder).removeRecursively();
        UserDefaults::setEarlierLists({});
        if (rowsBefore) {
            reopenDefaults();
            store(kList, QJsonArray{wallpaper(3, QStringLiteral("Stored before")).toJson()});
            defaults_.reset();
        }
        QDir().mkpath(folder);
        QFile file(UserDefaults::legacyPathOf(UserDefaults::kStandardDomain));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{kList, entry}}).toJson());
        file.close();
        UserDefaults::setEarlierLists(asRows ? QHash<QString, QString>{{kList, PersonalWallpaperList::kIdField}} : QHash<QString, QString>());
        reopenDefaults();
    };

    launchOn(asData, false);
    ASSERT_TRUE(defaults().contains(kList));
    PersonalWallpaperList byList = testList(defaults());
    byList.load();
    const QList<StoredRow> rowsByList = defaults().rows(kList);
    ASSERT_EQ(rowsByList.size(), earlier.size());

    launchOn(asData, true);
    EXPECT_FALSE(defaults().contains(kList));
    EXPECT_EQ(defaults().rows(kList), rowsByList);
    PersonalWallpaperList imported = testList(defaults());
    imported.load();
    EXPECT_EQ(imported.order(), byList.order());

    struct Kept {
        const char* name;
        QJsonObject entry;
        bool rowsBefore;
    };
    const Kept kept[] = {
        {"a string", {{QStringLiteral("type"), QStringLiteral("string")}, {QStringLiteral("value"), QStringLiteral("liked")}}, false},
        {"data that is no JSON array", {{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("value"), QStringLiteral("e30=")}}, false},
        {"data that does not decode", {{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("value"), QStringLiteral("W3si*mtleSI6MX1d")}}, false},
        {"a list with rows stored before", asData, true},
    };
    for (const Kept& c : kept) {
        SCOPED_TRACE(c.name);
        launchOn(c.entry, true, c.rowsBefore);
        EXPECT_TRUE(defaults().contains(kList) || defaults().isUnreadable(kList));
        const QList<StoredRow> rows = defaults().rows(kList);
        EXPECT_EQ(rows.size(), c.rowsBefore ? 1 : 0);
    }
    // The rows stored before stay in front of the earlier list's when the list moves it.
    PersonalWallpaperList both = testList(defaults());
    both.load();
    ASSERT_EQ(defaults().rows(kList).size(), earlier.size());
    EXPECT_EQ(both.records().value(3).title, QStringLiteral("Stored before"));
}

// A list saved while an upgrade's import is committed on a worker says that its change waits for
// the import, never that it is saved, and is saved right after it, behind the imported rows'
// keys it did not touch.
TEST_F(PersonalWallpaperListTest, AListSavedWhileAnImportRunsIsSavedRightAfterIt)
{
    defaults_.reset();
    ASSERT_TRUE(placeEarlierSettings(
        QJsonObject{{kList, earlierDataEntry(JsonWriter::toBytes(QJsonArray{wallpaper(1).toJson()}))}}));
    HeldEarlierImport import({{kList, PersonalWallpaperList::kIdField}});
    reopenDefaults();
    ASSERT_TRUE(defaults().importsEarlierSettings());

    PersonalWallpaperList list = testList(defaults());
    list.insertAtFront(2);
    list.put(wallpaper(2));
    list.save();
    EXPECT_TRUE(log_.contains(QStringLiteral("Kept 1 test wallpapers in memory: the change is saved right after the earlier settings are imported")));
    EXPECT_FALSE(log_.contains(QStringLiteral("Saved 1")));

    import.release();
    ASSERT_EVENTUALLY(!defaults().importsEarlierSettings(), 10'000);
    EXPECT_TRUE(log_.contains(QStringLiteral("Saved the changes made while the earlier settings were imported")));
    reopenDefaults();
    QStringList keys;
    for (const StoredRow& row : defaults().rows(kList))
        keys.append(row.key);
    keys.sort();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
}

// A list read on a worker a slice at a time, each slice written over the text of one decoded
// before, is the list read whole: the same records in the same order, the same records left out
// with the same reasons (a record that does not read named by its place in the whole list), from
// a slice per row to one slice for all.
TEST_F(PersonalWallpaperListTest, AListReadInSlicesIsTheListReadWhole)
{
    QJsonArray stored;
    for (qint64 key = 1; key <= 60; ++key) {
        // Records of different lengths, so that a slice is written over a longer spent one.
        stored.append(wallpaper(key, QStringLiteral("Kept %1 ").arg(key) + QString(int(key % 7) * 40, QLatin1Char('~'))).toJson());
        if (key == 20)
            stored.append(QJsonValue(7));
        if (key == 35)
            stored.append(wallpaper(std::nullopt, QStringLiteral("Keyless")).toJson());
        if (key == 50)
            stored.append(wallpaper(12, QStringLiteral("Twelve again")).toJson());
    }
    store(kList, stored);
    reopenDefaults();
    const auto skipped = [this] { return log_.lines().filter(QStringLiteral("Skipped")); };
    PersonalWallpaperList whole = testList(defaults());
    whole.load();
    const QStringList wholeSkipped = skipped();
    ASSERT_EQ(whole.order().size(), 60);
    ASSERT_EQ(wholeSkipped.size(), 3);
    EXPECT_TRUE(wholeSkipped.first().contains(QStringLiteral("[20]"))) << wholeSkipped.first().toStdString();

    for (const qsizetype sliceBytes : {qsizetype(1), qsizetype(900), qsizetype(5000), PersonalWallpaperList::kSliceBytes}) {
        SCOPED_TRACE(sliceBytes);
        log_.clear();
        PersonalWallpaperList sliced = testList(defaults());
        sliced.takeIn(sliced.decodeOnWorker(sliceBytes).result());
        EXPECT_EQ(sliced.order(), whole.order());
        EXPECT_EQ(titles(sliced.inOrder()), titles(whole.inOrder()));
        EXPECT_EQ(skipped(), wholeSkipped);
        EXPECT_TRUE(sliced.isIncomplete());
    }
}

} // namespace
