#include "LibraryFixture.h"

#include "library/PersonalWallpaperList.h"

#include "support/FileBytes.h"

#include <QFileInfo>

#include <functional>

namespace {

using PersonalWallpaperListTest = LibraryFixture;

PersonalWallpaperList testList(UserDefaults& defaults)
{
    return PersonalWallpaperList(defaults, QStringLiteral("listUnderTest"),
        StoredList::Lines{QStringLiteral("Test"), QStringLiteral("📋"), QStringLiteral("test wallpapers"),
            QStringLiteral("Loaded %1"), QStringLiteral("Saved %1")});
}

// A write shares the records with its worker only while it lists them: a like made while the
// list is encoded and written changes the table in place, with no copy of every record.
TEST_F(PersonalWallpaperListTest, AWriteLetsGoOfTheRecordsOnceListed)
{
    PersonalWallpaperList list = testList(defaults());
    for (qint64 key = 1; key <= 3; ++key) {
        list.insertAtFront(key);
        list.put(wallpaper(key, QStringLiteral("Kept %1").arg(key)));
    }
    const UserDefaults::DataSource::Write write = list.source()->snapshot();
    EXPECT_FALSE(list.records().isDetached()) << "the snapshot is shared, not copied, on the GUI thread";
    QByteArray written;
    write([&written](QByteArrayView piece) {
        written += piece;
    });
    EXPECT_TRUE(list.records().isDetached());
    EXPECT_TRUE(list.order().isDetached());

    list.insertAtFront(4);
    list.put(wallpaper(4, QStringLiteral("Later")));
    EXPECT_EQ(titles(StoredList::decode<WallpaperModel>(written).records.value()),
        (QStringList{QStringLiteral("Kept 3"), QStringLiteral("Kept 2"), QStringLiteral("Kept 1")}))
        << "the write holds the list as it was when it started";
}

// Once read, the records are the stored list's only copy: the store lets go of the stored bytes
// and makes them again from the records, changes included, whenever it is read or written. A
// list whose load left a record out keeps the stored bytes until they are in the backup.
TEST_F(PersonalWallpaperListTest, TheStoreLetsGoOfTheBytesOnceTheRecordsAreRead)
{
    const QByteArray whole = StoredList::encode(QList<WallpaperModel>{wallpaper(2, QStringLiteral("Two")), wallpaper(1, QStringLiteral("One"))});
    const QByteArray withoutKey = StoredList::encode(QList<WallpaperModel>{wallpaper(2, QStringLiteral("Two")), wallpaper(std::nullopt)});
    struct Case {
        const char* name;
        QByteArray stored;
        bool letGo;
    };
    for (const Case& c : {Case{"every record read", whole, true}, Case{"a record left out", withoutKey, false}}) {
        SCOPED_TRACE(c.name);
        const QString key = QStringLiteral("listUnderTest");
        QByteArray stored(c.stored.constData(), c.stored.size()); // its own bytes, shared with no one
        defaults().setData(key, stored);
        PersonalWallpaperList list = testList(defaults());
        list.load();
        EXPECT_EQ(stored.isDetached(), c.letGo);
        EXPECT_EQ(defaults().data(key), c.stored) << "the same value, made again or kept";

        list.insertAtFront(3);
        list.put(wallpaper(3, QStringLiteral("Three")));
        list.save();
        EXPECT_EQ(titles(StoredList::decode<WallpaperModel>(defaults().data(key)).records.value()).first(), QStringLiteral("Three"));
        EXPECT_EQ(defaults().data(key + QStringLiteral(".backup")).isEmpty(), c.letGo);
        defaults().remove(key);
        defaults().remove(key + QStringLiteral(".backup"));
    }
}

} // namespace

namespace {

// Each step of a long list reaches the disk as a record of the few wallpapers it touched, and a
// restart reads the list as the steps left it: a like in front, an unlike, a recent moved to the
// front from far down, a record refreshed in place; a bulk change is written whole.
TEST_F(PersonalWallpaperListTest, ALongListsStepsAreJournaledAndReadBackInOrder)
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
    const QString journal = defaults().journalPath();
    PersonalWallpaperList list = testList(defaults());
    list.load();
    const QByteArray file = readFile(defaults().filePath());
    struct Step {
        const char* name;
        std::function<void()> change;
        bool small;
    };
    const Step steps[] = {
        {"a like", [&] { list.insertAtFront(5001); list.put(wallpaper(5001, QStringLiteral("Liked"))); }, true},
        {"an unlike", [&] { list.removeFromOrder(1500); list.removeRecord(1500); }, true},
        {"moved to the front", [&] { list.moveToFront(3); }, true},
        {"refreshed in place", [&] { list.put(wallpaper(700, QStringLiteral("Renamed"))); }, true},
        {"cut to its first half", [&] { list.keepFirst(kCount / 2); }, false},
        {"a like after the cut", [&] { list.insertAtFront(5002); list.put(wallpaper(5002, QStringLiteral("Later"))); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const qint64 before = QFileInfo(journal).size();
        step.change();
        list.save();
        if (step.small) {
            EXPECT_FALSE(defaults().isWriting()) << "the whole file is written again";
            EXPECT_LT(QFileInfo(journal).size() - before, 4096);
        } else {
            defaults().flush();
        }
        const QList<WallpaperModel> expected = list.inOrder();
        UserDefaults again;
        PersonalWallpaperList readAgain = testList(again);
        readAgain.load();
        EXPECT_EQ(titles(readAgain.inOrder()), titles(expected));
        EXPECT_EQ(readAgain.order(), list.order());
    }
    EXPECT_NE(readFile(defaults().filePath()), file) << "the bulk change was written whole";
}

} // namespace
