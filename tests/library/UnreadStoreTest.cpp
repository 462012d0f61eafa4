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
#include "support/SettingsReadFault.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <functional>
#include <optional>

namespace {

// The settings database cannot be opened at launch for a reason that passes: each list of the
// library keeps its changes in the recovery database and says so, never "Saved", and once the
// database opens the list holds the stored records with the session's change on top, on screen
// and on disk, whether they were stored as rows or as an earlier version's value.
class UnreadStoreTest : public LibraryFixture {
protected:
    // Waits for the retry that opens the database, once the fault has passed.
    void awaitOpened()
    {
        QSignalSpy read(&defaults(), &UserDefaults::fileRead);
        ASSERT_EVENTUALLY(read.size() == 1, 30 * UserDefaults::kFirstRetryMs);
        ASSERT_FALSE(defaults().awaitsFile());
    }

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

TEST_F(UnreadStoreTest, AListChangedWhileTheDatabaseIsUnopenedHoldsBothOnceItOpens)
{
    const List lists[] = {
        {LikedWallpapersService::kLikedWallpapersKey, QStringLiteral("[LikedWallpapersService] Kept 1 liked wallpapers in the recovery database"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                playlists_ = std::make_unique<WallpaperPlaylistService>(defaults, clock_);
                liked_ = std::make_unique<LikedWallpapersService>(defaults, *playlists_, counter_);
                // A like tapped earlier would wait for the list.
                EXPECT_TRUE(QTest::qWaitFor([this] { return !liked_->isLoading(); }, 10'000));
                liked_->addWallpaper(wallpaper(2), true);
                return [this] { return keysOf(liked_->likedOrder()); };
            }},
        {RecentsWallpapersService::kRecentsWallpapersKey,
            QStringLiteral("[RecentsWallpapersService] Kept 1 recent wallpapers in the recovery database"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                recents_ = std::make_unique<RecentsWallpapersService>(defaults);
                recents_->addWallpaper(wallpaper(2));
                return [this] { return keysOf(recents_->recentsOrder()); };
            }},
        {CustomWallpapersService::kCustomWallpapersKey,
            QStringLiteral("[CustomWallpapersService] Kept 1 custom wallpapers in the recovery database"),
            [this](UserDefaults& defaults) -> std::function<QStringList()> {
                custom_ = std::make_unique<CustomWallpapersService>(defaults, temp_.path());
                custom_->addCustomWallpaper(wallpaper(2));
                return [this] { return keysOf(custom_->customOrder()); };
            }},
    };
    // The stored list as rows, or as the value earlier versions kept (just imported, say).
    const std::pair<const char*, std::function<void(const QString&)>> stores[] = {
        {"rows", [this](const QString& key) { store(key, {wallpaper(1).toJson()}); }},
        {"an earlier version's value", [this](const QString& key) {
             store(key, {});
             storeEarlier(key, {wallpaper(1).toJson()});
         }},
    };
    for (const auto& [form, storeList] : stores)
    for (const List& list : lists) {
        SCOPED_TRACE(form + (" of " + list.key.toStdString()));
        storeList(list.key);
        std::optional<SettingsReadFault> fault(EIO);
        reopenDefaults();
        ASSERT_TRUE(defaults().awaitsFile());
        log_.clear();
        const std::function<QStringList()> shown = list.openAndChange(defaults());
        EXPECT_EQ(shown(), QStringList{QStringLiteral("2")});
        EXPECT_FALSE(log_.lines().filter(list.keptLine).isEmpty()) << log_.lines().join(u'\n').toStdString();
        EXPECT_TRUE(log_.lines().filter(QStringLiteral("Saved")).isEmpty()) << log_.lines().join(u'\n').toStdString();

        fault->pass();
        awaitOpened();
        EXPECT_EQ(shown(), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
        liked_.reset();
        recents_.reset();
        custom_.reset();
        playlists_.reset();
        reopenDefaults();
        EXPECT_EQ(storedArray(list.key).size(), 2);
        EXPECT_FALSE(defaults().contains(list.key)) << "the earlier value is rows now";
    }
}

// A playlist made while the database is unopened joins the stored playlists.
TEST_F(UnreadStoreTest, APlaylistMadeWhileTheDatabaseIsUnopenedJoinsTheStoredOnes)
{
    WallpaperPlaylistService(defaults(), clock_).createPlaylist(QStringLiteral("Stored"), 300);
    SettingsReadFault fault(EMFILE);
    reopenDefaults();
    WallpaperPlaylistService playlists(defaults(), clock_);
    playlists.createPlaylist(QStringLiteral("New"), 600);
    EXPECT_FALSE(log_.lines().filter(QStringLiteral("Kept 1 playlists in the recovery database")).isEmpty());
    fault.pass();
    awaitOpened();
    ASSERT_EQ(playlists.playlists().size(), 2);
    EXPECT_EQ(playlists.playlists().at(0).name, QStringLiteral("New"));
    EXPECT_EQ(playlists.playlists().at(1).name, QStringLiteral("Stored"));
    reopenDefaults();
    EXPECT_EQ(WallpaperPlaylistService(defaults(), clock_).playlists().size(), 2);
}

// An own video imported while the database cannot be opened ("Video added") is the user's from
// then on: it is there, with its record as imported, once the database opens in this session, or
// at the next launch after a quit that came first, whether that launch opens the database or not.
class OwnVideoWhileUnopenedTest : public UnreadStoreTest {
protected:
    using Fault = std::optional<SettingsReadFault>;

    static constexpr qint64 kKey = 1234567890;

    void launch()
    {
        custom_ = std::make_unique<CustomWallpapersService>(defaults(), temp_.path());
        custom_->adoptUnlistedVideos();
    }
    void quit()
    {
        custom_.reset();
        defaults_.reset();
    }
    // Imports a video while the database does not open, runs `meanwhile` (which ends with the
    // database open) and checks the video's record there and at the next launch.
    void importWhileUnopened(const std::function<void(Fault&)>& meanwhile)
    {
        store(CustomWallpapersService::kCustomWallpapersKey, {wallpaper(1, QStringLiteral("Stored")).toJson()});
        const QString folder = temp_.path() + QStringLiteral("/Quorvelle/custom");
        Fault fault(EMFILE);
        reopenDefaults();
        ASSERT_TRUE(defaults().awaitsFile());
        launch();
        // The import's copy, then its record.
        ASSERT_TRUE(QDir().mkpath(folder));
        WallpaperModel video = wallpaper(kKey, QStringLiteral("Neon City"));
        video.masterUrl = QUrl::fromLocalFile(folder + QStringLiteral("/%1.mp4").arg(kKey));
        QFile file(video.masterUrl->toLocalFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("video");
        file.close();
        custom_->addCustomWallpaper(video);

        meanwhile(fault);
        ASSERT_FALSE(defaults().awaitsFile());
        const QStringList expected{QStringLiteral("Neon City"), QStringLiteral("Stored")};
        EXPECT_EQ(titles(custom_->orderedCustomWallpapers()), expected);
        quit();
        fault.reset();
        defaults_ = std::make_unique<UserDefaults>();
        launch();
        EXPECT_EQ(titles(custom_->orderedCustomWallpapers()), expected) << "at the next launch";
        EXPECT_FALSE(QFile::exists(defaults().recoveryPath())) << "merged, nothing is left to merge";
    }
};

TEST_F(OwnVideoWhileUnopenedTest, TheDatabaseOpensLaterInTheSession)
{
    importWhileUnopened([this](Fault& fault) {
        fault->pass();
        awaitOpened();
    });
}

TEST_F(OwnVideoWhileUnopenedTest, AQuitFirstAndTheNextLaunchCannotOpenItEither)
{
    importWhileUnopened([this](Fault& fault) {
        quit();
        defaults_ = std::make_unique<UserDefaults>();
        launch();
        EXPECT_EQ(titles(custom_->orderedCustomWallpapers()), QStringList{QStringLiteral("Neon City")}) << "shown meanwhile";
        fault->pass();
        awaitOpened();
    });
}

// Fails while a launch that opens the database leaves the recovery database an earlier session
// kept unmerged: the video is then only adopted back, under its file's name.
TEST_F(OwnVideoWhileUnopenedTest, AQuitFirstAndTheNextLaunchOpensIt)
{
    importWhileUnopened([this](Fault& fault) {
        quit();
        fault.reset();
        defaults_ = std::make_unique<UserDefaults>();
        launch();
    });
}

} // namespace
