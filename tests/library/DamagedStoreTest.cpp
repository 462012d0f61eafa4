#include "LibraryFixture.h"

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Clock.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "platform/Http.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <functional>

namespace {

// A stored list that is damaged as a whole or in part: what can be read is loaded, and what
// cannot is kept under "<key>.backup" before the first write drops it.
class DamagedStoreTest : public LibraryFixture {
protected:
    struct Store {
        QString key;
        QString failedLine;
        // Builds the service on the defaults and makes one change that saves.
        std::function<void(UserDefaults&)> openAndChange;
    };

    QList<Store> stores()
    {
        return {
            {WallpaperPlaylistService::kPlaylistsKey,
                QStringLiteral("⚠️ [WallpaperPlaylistService] Failed to load playlists: "),
                [this](UserDefaults& defaults) {
                    WallpaperPlaylistService(defaults, clock_).createPlaylist(QStringLiteral("New"), 300);
                }},
            {LikedWallpapersService::kLikedWallpapersKey,
                QStringLiteral("⚠️ [LikedWallpapersService] Failed to load liked wallpapers: "),
                [this](UserDefaults& defaults) {
                    WallpaperPlaylistService playlists(defaults, clock_);
                    LikedWallpapersService(defaults, playlists, counter_).addWallpaper(wallpaper(1), true);
                }},
            {RecentsWallpapersService::kRecentsWallpapersKey,
                QStringLiteral("⚠️ [RecentsWallpapersService] Failed to load recent wallpapers: "),
                [](UserDefaults& defaults) { RecentsWallpapersService(defaults).addWallpaper(wallpaper(1)); }},
            {CustomWallpapersService::kCustomWallpapersKey,
                QStringLiteral("⚠️ [CustomWallpapersService] Failed to load custom wallpapers: "),
                [this](UserDefaults& defaults) {
                    CustomWallpapersService(defaults, temp_.path()).addCustomWallpaper(wallpaper(1));
                }},
        };
    }

    QString backupKey(const QString& key) { return key + QStringLiteral(".backup"); }
    QString defaultsPath() const { return Paths::configuration() + QStringLiteral("/Quorvelle/standard.json"); }
    void writeDefaultsFile(const QJsonObject& entries) const
    {
        QDir().mkpath(QFileInfo(defaultsPath()).path());
        QFile file(defaultsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(entries).toJson());
    }
    QJsonObject defaultsFile() const
    {
        QFile file(defaultsPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }
    QString lineStartingWith(const QString& prefix) const
    {
        for (const QString& line : log_.lines()) {
            if (line.startsWith(prefix))
                return line;
        }
        return {};
    }

    ManualClock clock_;
    // Never reached: every like here is added without a report.
    Http http_;
    APIService api_{backendAt(QStringLiteral("https://127.0.0.1:1/functions/v1")), clock_, http_};
    WallpaperCounterService counter_{api_};
};

TEST_F(DamagedStoreTest, AnUnreadableValueIsKeptBeforeTheFirstWriteReplacesIt)
{
    for (const Store& store : stores()) {
        SCOPED_TRACE(store.key.toStdString());
        defaults().setData(store.key, QByteArray("[{\"id\": "));
        log_.clear();
        store.openAndChange(defaults());

        EXPECT_FALSE(lineStartingWith(store.failedLine).isEmpty());
        EXPECT_EQ(defaults().data(backupKey(store.key)), QByteArray("[{\"id\": "));
        EXPECT_EQ(storedArray(store.key).size(), 1);
    }
}

TEST_F(DamagedStoreTest, AValueOfAnotherTypeIsKeptWithItsType)
{
    for (const Store& store : stores()) {
        SCOPED_TRACE(store.key.toStdString());
        defaults().setString(store.key, QStringLiteral("[]"));
        log_.clear();
        store.openAndChange(defaults());

        EXPECT_EQ(lineStartingWith(store.failedLine), store.failedLine + QStringLiteral("the stored value is text, not data"));
        EXPECT_EQ(defaults().string(backupKey(store.key)), QStringLiteral("[]"));
        EXPECT_EQ(storedArray(store.key).size(), 1);
    }
}

TEST_F(DamagedStoreTest, AnEntryTheDefaultsCannotReadIsKeptAsItWasBeforeTheFirstWrite)
{
    const QJsonObject entry{{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("value"), QStringLiteral("W3si*mtleSI6MX1d")}};
    for (const Store& store : stores()) {
        SCOPED_TRACE(store.key.toStdString());
        defaults_.reset();
        writeDefaultsFile(QJsonObject{{store.key, entry}});
        reopenDefaults();
        log_.clear();
        store.openAndChange(defaults());

        EXPECT_EQ(lineStartingWith(store.failedLine), store.failedLine + QStringLiteral("the stored entry cannot be read"));
        EXPECT_EQ(defaultsFile().value(backupKey(store.key)), entry);
        EXPECT_EQ(storedArray(store.key).size(), 1);
    }
}

TEST_F(DamagedStoreTest, OneDamagedPlaylistCostsOnlyItself)
{
    WallpaperPlaylist good{QUuid::createUuid(), QStringLiteral("Good"), 300, {1, 2}, clock_.now()};
    QJsonObject damaged = good.toJson();
    damaged.insert(QStringLiteral("createdAt"), QStringLiteral("yesterday"));
    store(WallpaperPlaylistService::kPlaylistsKey, {good.toJson(), damaged, QJsonValue(7)});
    const QByteArray original = defaults().data(WallpaperPlaylistService::kPlaylistsKey);

    WallpaperPlaylistService playlists(defaults(), clock_);
    ASSERT_EQ(playlists.playlists().size(), 1);
    EXPECT_EQ(playlists.playlists().first().wallpaperKeys, (QList<qint64>{1, 2}));
    EXPECT_TRUE(log_.contains(QStringLiteral("⚠️ [WallpaperPlaylistService] Skipped a stored record of the playlists: [1].createdAt")));
    EXPECT_TRUE(log_.contains(QStringLiteral("📋 [WallpaperPlaylistService] Loaded 1 playlists")));
    EXPECT_FALSE(defaults().contains(backupKey(WallpaperPlaylistService::kPlaylistsKey))) << "nothing is written by a load";

    playlists.createPlaylist(QStringLiteral("New"), 300);
    EXPECT_EQ(defaults().data(backupKey(WallpaperPlaylistService::kPlaylistsKey)), original);
    EXPECT_EQ(storedArray(WallpaperPlaylistService::kPlaylistsKey).size(), 2);
}

TEST_F(DamagedStoreTest, OneDamagedWallpaperKeyCostsOnlyItself)
{
    WallpaperPlaylist playlist{QUuid::createUuid(), QStringLiteral("Evenings"), 300, {}, clock_.now()};
    QJsonObject stored = playlist.toJson();
    stored.insert(QStringLiteral("wallpaperKeys"), QJsonArray{1, QStringLiteral("2"), 3, 4.5, QJsonValue(), 6});
    store(WallpaperPlaylistService::kPlaylistsKey, {stored});
    const QByteArray original = defaults().data(WallpaperPlaylistService::kPlaylistsKey);

    WallpaperPlaylistService playlists(defaults(), clock_);
    ASSERT_EQ(playlists.playlists().size(), 1);
    EXPECT_EQ(playlists.playlists().first().wallpaperKeys, (QList<qint64>{1, 3, 6}));
    EXPECT_TRUE(playlists.isIncomplete());
    EXPECT_TRUE(log_.contains(QStringLiteral(
        "⚠️ [WallpaperPlaylistService] Skipped a stored wallpaper key of the playlist \"Evenings\": [0].wallpaperKeys[1]")));

    playlists.addWallpapers({7}, playlist.id);
    EXPECT_EQ(defaults().data(backupKey(WallpaperPlaylistService::kPlaylistsKey)), original);
    EXPECT_EQ(storedArray(WallpaperPlaylistService::kPlaylistsKey).at(0)[QStringLiteral("wallpaperKeys")].toArray(),
        (QJsonArray{1, 3, 6, 7}));
}

TEST_F(DamagedStoreTest, KeylessAndRepeatedRecordsAreLeftOutAndTheFirstOfAKeyWins)
{
    store(LikedWallpapersService::kLikedWallpapersKey,
        {wallpaper(1, QStringLiteral("first")).toJson(), wallpaper(std::nullopt, QStringLiteral("keyless")).toJson(),
            wallpaper(1, QStringLiteral("second")).toJson(), wallpaper(2, QStringLiteral("two")).toJson()});

    WallpaperPlaylistService playlists(defaults(), clock_);
    LikedWallpapersService liked(defaults(), playlists, counter_);
    EXPECT_EQ(liked.likedOrder(), (QList<qint64>{1, 2}));
    EXPECT_EQ(liked.likedWallpapers().value(1).title, QStringLiteral("first"));
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: \"keyless\" has no key")));
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: \"second\" repeats the key 1")));
    EXPECT_TRUE(log_.contains(QStringLiteral("❤️ [LikedWallpapersService] Loaded  2 liked wallpapers from UserDefaults")));

    liked.addWallpaper(wallpaper(3), true);
    liked.flush();
    EXPECT_EQ(JsonReader::parse(defaults().data(backupKey(LikedWallpapersService::kLikedWallpapersKey))).size(), 4);
    EXPECT_EQ(storedArray(LikedWallpapersService::kLikedWallpapersKey).size(), 3);
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
    QList<qint64> expected;
    for (qint64 key = kCount; key >= 1; --key) {
        if (key != kCount - 700)
            expected.append(key);
    }
    EXPECT_EQ(liked.likedOrder(), expected);
    EXPECT_TRUE(log_.contains(QStringLiteral("Skipped a stored record of the liked wallpapers: [700].id: required key is missing")));
}

} // namespace
