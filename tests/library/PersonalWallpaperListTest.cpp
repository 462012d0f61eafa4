#include "LibraryFixture.h"

#include "library/PersonalWallpaperList.h"

namespace {

using PersonalWallpaperListTest = LibraryFixture;

// A write behind shares the records with its worker only while it lists them: a like made while
// the list is encoded and written changes the table in place, with no copy of every record.
TEST_F(PersonalWallpaperListTest, AWriteBehindLetsGoOfTheRecordsOnceListed)
{
    PersonalWallpaperList list(defaults(), QStringLiteral("listUnderTest"),
        StoredList::Lines{QStringLiteral("Test"), QStringLiteral("📋"), QStringLiteral("test wallpapers"),
            QStringLiteral("Loaded %1"), QStringLiteral("Saved %1")});
    for (qint64 key = 1; key <= 3; ++key) {
        list.insertAtFront(key);
        list.put(wallpaper(key, QStringLiteral("Kept %1").arg(key)));
    }
    WriteBehind::Work work = list.saveBehind();
    EXPECT_FALSE(list.records().isDetached()) << "the snapshot is shared, not copied, on the GUI thread";
    const WriteBehind::Finish finish = work();
    EXPECT_TRUE(list.records().isDetached());
    EXPECT_TRUE(list.order().isDetached());

    list.insertAtFront(4);
    list.put(wallpaper(4, QStringLiteral("Later")));
    finish();
    EXPECT_EQ(titles(StoredList::decode<WallpaperModel>(defaults().data(QStringLiteral("listUnderTest"))).records.value()),
        (QStringList{QStringLiteral("Kept 3"), QStringLiteral("Kept 2"), QStringLiteral("Kept 1")}))
        << "the write holds the list as it was when it started";
}

} // namespace
