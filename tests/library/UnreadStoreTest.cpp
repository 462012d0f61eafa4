#include "LibraryFixture.h"

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Clock.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/RecentsWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "platform/Http.h"

#include "support/Eventually.h"

#include <cerrno>
#include <functional>

namespace {

// The settings file cannot be read at launch for a reason that passes: each list of the library
// keeps its changes in memory and says so, never "Saved", and once the file reads the list holds
// the stored records with the session's change on top, on screen and on disk.
class UnreadStoreTest : public LibraryFixture {
protected:
    ~UnreadStoreTest() override { UserDefaults::setReadFault({}); }

    struct List {
        QString key;
        QString keptLine;
        // Builds the service on the defaults, makes one change and returns a reader of the list's
        // ids as the service shows them.
        std::function<std::function<QStringList()>(UserDefaults&)> openAndChange;
    };

    static QStringList keysOf(const QList<qint64>& keys)
    {
        QStringList texts;
        for (const qint64 key : keys)
            texts.append(QString::number(key));
        return texts;
    }

    ManualClock clock_;
    Http http_;
    APIService api_{backendAt(QStringLiteral("https://127.0.0.1:1/functions/v1")), clock_, http_};
    WallpaperCounterService counter_{api_};
    std::unique_ptr<WallpaperPlaylistService> playlists_;
    std::unique_ptr<LikedWallpapersService> liked_;
    std::unique_ptr<RecentsWallpapersService> recents_;
    std::unique_ptr<CustomWallpapersService> custom_;
};

TEST_F(UnreadStoreTest, AListChangedWhileTheFileIsUnreadHoldsBothOnceItReads)
{
    const List lists[] = {
        {LikedWallpapersService::kLikedWallpapersKey, QStringLiteral("[LikedWallpapersService] Kept 1 liked wallpapers in memory"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                playlists_ = std::make_unique<WallpaperPlaylistService>(defaults, clock_);
                liked_ = std::make_unique<LikedWallpapersService>(defaults, *playlists_, counter_);
                liked_->addWallpaper(wallpaper(2), true);
                return [this] { return keysOf(liked_->likedOrder()); };
            }},
        {RecentsWallpapersService::kRecentsWallpapersKey,
            QStringLiteral("[RecentsWallpapersService] Kept 1 recent wallpapers in memory"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                recents_ = std::make_unique<RecentsWallpapersService>(defaults);
                recents_->addWallpaper(wallpaper(2));
                return [this] { return keysOf(recents_->recentsOrder()); };
            }},
        {CustomWallpapersService::kCustomWallpapersKey,
            QStringLiteral("[CustomWallpapersService] Kept 1 custom wallpapers in memory"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                custom_ = std::make_unique<CustomWallpapersService>(defaults, temp_.path());
                custom_->addCustomWallpaper(wallpaper(2));
                return [this] { return keysOf(custom_->customOrder()); };
            }},
    };
    int fault = 0;
    UserDefaults::setReadFault([&fault](const QString&) { return fault; });
    for (const List& list : lists) {
        SCOPED_TRACE(list.key.toStdString());
        defaults().remove(list.key);
        store(list.key, {wallpaper(1).toJson()});
        fault = EIO;
        reopenDefaults();
        ASSERT_TRUE(defaults().awaitsFile());
        log_.clear();
        const std::function<QStringList()> shown = list.openAndChange(defaults());
        EXPECT_EQ(shown(), QStringList{QStringLiteral("2")});
        EXPECT_FALSE(log_.lines().filter(list.keptLine).isEmpty()) << log_.lines().join(u'\n').toStdString();
        EXPECT_TRUE(log_.lines().filter(QStringLiteral("Saved")).isEmpty()) << log_.lines().join(u'\n').toStdString();

        fault = 0;
        ASSERT_EVENTUALLY(!defaults().awaitsFile(), 4 * UserDefaults::kFirstRetryMs);
        EXPECT_EQ(shown(), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
        liked_.reset();
        recents_.reset();
        custom_.reset();
        playlists_.reset();
        reopenDefaults();
        EXPECT_EQ(storedArray(list.key).size(), 2);
    }
}

// A playlist made while the file is unread joins the stored playlists.
TEST_F(UnreadStoreTest, APlaylistMadeWhileTheFileIsUnreadJoinsTheStoredOnes)
{
    WallpaperPlaylistService(defaults(), clock_).createPlaylist(QStringLiteral("Stored"), 300);
    int fault = EMFILE;
    UserDefaults::setReadFault([&fault](const QString&) { return fault; });
    reopenDefaults();
    WallpaperPlaylistService playlists(defaults(), clock_);
    playlists.createPlaylist(QStringLiteral("New"), 600);
    EXPECT_FALSE(log_.lines().filter(QStringLiteral("Kept 1 playlists in memory")).isEmpty());
    fault = 0;
    ASSERT_EVENTUALLY(playlists.playlists().size() == 2, 4 * UserDefaults::kFirstRetryMs);
    EXPECT_EQ(playlists.playlists().at(0).name, QStringLiteral("New"));
    EXPECT_EQ(playlists.playlists().at(1).name, QStringLiteral("Stored"));
    reopenDefaults();
    EXPECT_EQ(WallpaperPlaylistService(defaults(), clock_).playlists().size(), 2);
}

} // namespace
