#include "LibraryFixture.h"

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Clock.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "foundation/Paths.h"
#include "platform/Http.h"

#include "support/Eventually.h"
#include "support/StoredEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <functional>

namespace {

// A stored list that is damaged as a whole or in part: what can be read is loaded, and what
// cannot stays stored as it is (an earlier version's value under its key, a row that does not
// read), whatever the list changes later.
class DamagedStoreTest : public LibraryFixture {
protected:
    struct Store {
        QString key;
        QString type;
        QString noun;
        // Builds the service on the defaults and makes one change that saves.
        std::function<void(UserDefaults&)> openAndChange;
    };

    QList<Store> stores()
    {
        return {
            {WallpaperPlaylistService::kPlaylistsKey, QStringLiteral("WallpaperPlaylistService"), QStringLiteral("playlists"),
                [this](UserDefaults& defaults) {
                    WallpaperPlaylistService(defaults, clock_).createPlaylist(QStringLiteral("New"), 300);
                }},
            {LikedWallpapersService::kLikedWallpapersKey, QStringLiteral("LikedWallpapersService"), QStringLiteral("liked wallpapers"),
                [this](UserDefaults& defaults) {
                    WallpaperPlaylistService playlists(defaults, clock_);
                    LikedWallpapersService(defaults, playlists, counter_).addWallpaper(wallpaper(1), true);
                }},
            {RecentsWallpapersService::kRecentsWallpapersKey, QStringLiteral("RecentsWallpapersService"), QStringLiteral("recent wallpapers"),
                [](UserDefaults& defaults) { RecentsWallpapersService(defaults).addWallpaper(wallpaper(1)); }},
            {CustomWallpapersService::kCustomWallpapersKey, QStringLiteral("CustomWallpapersService"), QStringLiteral("custom wallpapers"),
                [this](UserDefaults& defaults) {
                    CustomWallpapersService(defaults, temp_.path()).addCustomWallpaper(wallpaper(1));
                }},
        };
    }

    // Puts an entry under `key` whose stored form this version cannot read.
    void storeUnreadableEntry(const QString& key)
    {
        defaults_.reset();
        const QString failure = putStoredEntries(
            Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3"), {{key, R"({"type":"data","value":"W3si*mtleSI6MX1d"})"}});
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        reopenDefaults();
        ASSERT_TRUE(defaults().isUnreadable(key));
    }
    QList<QByteArray> records(const QString& list)
    {
        QList<QByteArray> records;
        for (const StoredRow& row : defaults().rows(list))
            records.append(row.record);
        return records;
    }

    ManualClock clock_;
    // Never reached: every like here is added without a report.
    Http http_;
    APIService api_{backendAt(QStringLiteral("https://127.0.0.1:1/functions/v1")), clock_, http_};
    WallpaperCounterService counter_{api_};
};

// An earlier version's value that is no list of records (damaged, of another type, or an entry
// this version cannot read) is never moved into rows nor replaced: it stays as it is under its
// key, and the list's changes go into rows beside it.
TEST_F(DamagedStoreTest, AnEarlierValueThatIsNoListStaysAsItIs)
{
    const struct {
        const char* name;
        std::function<void(const QString& key)> damage;
        std::function<bool(UserDefaults&, const QString& key)> kept;
        QString reason;
    } damages[] = {
        {"damaged data", [this](const QString& key) { defaults().setData(key, QByteArray("[{\"id\": ")); },
            [](UserDefaults& defaults, const QString& key) { return defaults.data(key) == QByteArray("[{\"id\": "); },
            QStringLiteral("it is no list of records; it is kept as it is")},
        {"text", [this](const QString& key) { defaults().setString(key, QStringLiteral("[]")); },
            [](UserDefaults& defaults, const QString& key) { return defaults.string(key) == QStringLiteral("[]"); },
            QStringLiteral("it is no list of records; it is kept as it is")},
        {"an unreadable entry", [this](const QString& key) { storeUnreadableEntry(key); },
            [](UserDefaults& defaults, const QString& key) { return defaults.isUnreadable(key); },
            QStringLiteral("the stored entry cannot be read; it is kept as it is")},
    };
    for (const auto& damage : damages) {
        for (const Store& store : stores()) {
            SCOPED_TRACE(damage.name + (" of " + store.key.toStdString()));
            damage.damage(store.key);
            log_.clear();
            store.openAndChange(defaults());

            EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [%1] Failed to load the earlier stored %2: %3").arg(store.type, store.noun, damage.reason)))
                << log_.lines().join(u'\n').toStdString();
            EXPECT_EQ(storedArray(store.key).size(), 1);
            reopenDefaults();
            EXPECT_TRUE(damage.kept(defaults(), store.key));
            defaults().remove(store.key);
            this->store(store.key, {});
        }
    }
}

// A playlist that does not read costs only itself: its row stays as stored when the others change.
TEST_F(DamagedStoreTest, OneDamagedPlaylistCostsOnlyItself)
{
    WallpaperPlaylist good{QUuid::createUuid(), QStringLiteral("Good"), 300, {1, 2}, clock_.now()};
    QJsonObject damaged = WallpaperPlaylist{QUuid::createUuid(), QStringLiteral("Damaged"), 300, {3}, clock_.now()}.toJson();
    damaged.insert(QStringLiteral("createdAt"), QStringLiteral("yesterday"));
    store(WallpaperPlaylistService::kPlaylistsKey, {good.toJson(), damaged, QJsonValue(7)}, QStringLiteral("id"));
    const QList<QByteArray> stored = records(WallpaperPlaylistService::kPlaylistsKey);

    WallpaperPlaylistService playlists(defaults(), clock_);
    ASSERT_EQ(playlists.playlists().size(), 1);
    EXPECT_EQ(playlists.playlists().first().wallpaperKeys, (QList<qint64>{1, 2}));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [WallpaperPlaylistService] Skipped a stored record of the playlists: [1].createdAt")));
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Loaded 1 playlists")));
    EXPECT_EQ(records(WallpaperPlaylistService::kPlaylistsKey), stored) << "nothing is written by a load";

    playlists.createPlaylist(QStringLiteral("New"), 300);
    playlists.addWallpapers({4}, good.id);
    playlists.deletePlaylist(good.id);
    EXPECT_EQ(records(WallpaperPlaylistService::kPlaylistsKey).mid(1), stored.mid(1)) << "the rows that do not read stay";
    reopenDefaults();
    WallpaperPlaylistService again(defaults(), clock_);
    ASSERT_EQ(again.playlists().size(), 1);
    EXPECT_EQ(again.playlists().first().name, QStringLiteral("New"));
}

// A wallpaper key that does not read costs only itself: the playlist's row stays as stored until
// that very playlist changes.
TEST_F(DamagedStoreTest, OneDamagedWallpaperKeyCostsOnlyItself)
{
    WallpaperPlaylist playlist{QUuid::createUuid(), QStringLiteral("Evenings"), 300, {}, clock_.now()};
    const WallpaperPlaylist other{QUuid::createUuid(), QStringLiteral("Mornings"), 300, {8}, clock_.now()};
    QJsonObject stored = playlist.toJson();
    stored.insert(QStringLiteral("wallpaperKeys"), QJsonArray{1, QStringLiteral("2"), 3, 4.5, QJsonValue(), 6});
    store(WallpaperPlaylistService::kPlaylistsKey, {stored, other.toJson()}, QStringLiteral("id"));
    const QByteArray original = records(WallpaperPlaylistService::kPlaylistsKey).first();

    WallpaperPlaylistService playlists(defaults(), clock_);
    ASSERT_EQ(playlists.playlists().size(), 2);
    EXPECT_EQ(playlists.playlists().first().wallpaperKeys, (QList<qint64>{1, 3, 6}));
    EXPECT_TRUE(playlists.isIncomplete());
    EXPECT_TRUE(log_.contains(QStringLiteral(
        "⚠️ [WallpaperPlaylistService] Skipped a stored wallpaper key of the playlist \"Evenings\": [0].wallpaperKeys[1]")));

    playlists.addWallpapers({9}, other.id);
    EXPECT_EQ(records(WallpaperPlaylistService::kPlaylistsKey).first(), original);
    playlists.addWallpapers({7}, playlist.id);
    EXPECT_EQ(storedArray(WallpaperPlaylistService::kPlaylistsKey).at(0)[QStringLiteral("wallpaperKeys")].toArray(),
        (QJsonArray{1, 3, 6, 7}));
}

// Keyless and repeated records are left out of the list, and their rows stay as stored.
TEST_F(DamagedStoreTest, KeylessAndRepeatedRecordsAreLeftOutAndTheFirstOfAKeyWins)
{
    store(LikedWallpapersService::kLikedWallpapersKey,
        {wallpaper(1, QStringLiteral("first")).toJson(), wallpaper(std::nullopt, QStringLiteral("keyless")).toJson(),
            wallpaper(1, QStringLiteral("second")).toJson(), wallpaper(2, QStringLiteral("two")).toJson()});
    const QList<QByteArray> stored = records(LikedWallpapersService::kLikedWallpapersKey);

    WallpaperPlaylistService playlists(defaults(), clock_);
    LikedWallpapersService liked(defaults(), playlists, counter_);
    ASSERT_EVENTUALLY(!liked.isLoading(), 10'000);
    EXPECT_EQ(liked.likedOrder(), (QList<qint64>{1, 2}));
    EXPECT_EQ(liked.likedWallpapers().value(1).title, QStringLiteral("first"));
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: \"keyless\" has no key")));
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: \"second\" repeats the key 1")));
    EXPECT_TRUE(log_.contains(QStringLiteral("❤️ [LikedWallpapersService] Loaded  2 liked wallpapers from UserDefaults")));

    liked.addWallpaper(wallpaper(3), true);
    liked.removeWallpaper(std::optional<qint64>(2));
    liked.flush();
    EXPECT_EQ(records(LikedWallpapersService::kLikedWallpapersKey).mid(1), stored.mid(0, 3));
}

// A row whose record is cut short (what a salvage of a damaged database may take in) costs only
// itself: the other rows are read. Fails while the store hands a list over as one text, which
// that row leaves unreadable as a whole.
TEST_F(DamagedStoreTest, ARowCutShortCostsOnlyItself)
{
    SettingsChange::ListChange rows;
    rows.put = {{QStringLiteral("1"), 0, JsonWriter::toBytes(wallpaper(1).toJson())},
        {QStringLiteral("2"), kRowGap, JsonWriter::toBytes(wallpaper(2).toJson()).left(20)},
        {QStringLiteral("3"), 2 * kRowGap, JsonWriter::toBytes(wallpaper(3).toJson())}};
    ASSERT_TRUE(defaults().changeRows(RecentsWallpapersService::kRecentsWallpapersKey, rows));
    RecentsWallpapersService recents(defaults());
    EXPECT_EQ(recents.recentsOrder(), (QList<qint64>{1, 3}));
}

// Long lists decode in parallel parts; the parts must come back in stored order.
TEST_F(DamagedStoreTest, ALongListKeepsItsOrderAndLosesOnlyItsDamagedRecords)
{
    constexpr qint64 kCount = 2'345;
    QJsonArray array;
    for (qint64 key = kCount; key >= 1; --key)
        array.append(wallpaper(key).toJson());
    array[700] = QJsonObject{{QStringLiteral("key"), 1}};
    array.append(wallpaper(kCount).toJson()); // a repeat far from the first
    store(LikedWallpapersService::kLikedWallpapersKey, array);

    WallpaperPlaylistService playlists(defaults(), clock_);
    LikedWallpapersService liked(defaults(), playlists, counter_);
    ASSERT_EVENTUALLY(!liked.isLoading(), 30'000);
    QList<qint64> expected;
    for (qint64 key = kCount; key >= 1; --key) {
        if (key != kCount - 700)
            expected.append(key);
    }
    EXPECT_EQ(liked.likedOrder(), expected);
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: [700].id: required key is missing")));
}

} // namespace
