#include "support/CatalogueSession.h"
#include "Settle.h"
#include "TestDelays.h"

#include "foundation/Log.h"
#include "state/AppStore.h"
#include "state/DeepLinkWallpaperService.h"
#include "state/GravelnookDeepLinkService.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "state/WallpaperDeepLinkHandler.h"
#include "support/Eventually.h"
#include "RunToEnd.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
// A link opens on a later turn of the event loop, most with one loopback request.
constexpr int kTurnsWaitMs = 1'000;
constexpr int kRequestWaitMs = 5'000;
constexpr qint64 kMonochromeKey = 1718000001543; // a wallpaper of the "Monochrome" category
const QString kById = QStringLiteral("get-wallpapers-by-id");

class WallpaperDeepLinkHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override { settle(); }

    void initialize()
    {
        runToEnd(store_.initializeIfNeeded());
        ASSERT_TRUE(store_.isInitialized());
    }
    static QString link(qint64 key) { return QStringLiteral("quorvelle://wallpaper/") + QString::number(key); }
    // Hands over a link of `key` (not fetched before, so its reply is not in the cache) whose
    // fetch is answered slowly, once that fetch has reached the backend.
    void startSlowLink(qint64 key)
    {
        const int requests = session_.requests(kById);
        session_.server().setFault(CatalogueSession::path(kById), Fault{.delayMs = 1500, .times = 1});
        handler_.handle(link(key));
        ASSERT_EVENTUALLY(session_.requests(kById) == requests + 1, kRequestWaitMs);
    }

    TestDelays delays_;
    CatalogueSession session_;
    HomePageService home_{session_.api()};
    AppStore store_{session_.api(), home_, delays_.delays()};
    DeepLinkWallpaperService wallpapers_;
    GravelnookDeepLinkService gravelnook_;
    NotificationManager toast_{delays_.delays()};
    WallpaperDeepLinkHandler handler_{store_, session_.api(), wallpapers_, gravelnook_, toast_, delays_.delays()};
    QSignalSpy windowRequests_{&handler_, &WallpaperDeepLinkHandler::mainWindowRequested};
};

TEST_F(WallpaperDeepLinkHandlerTest, WallpaperLinkFillsTheInboxAndAsksForTheWindow)
{
    initialize();
    runToEnd(store_.loadCategoriesIfNeeded());
    LogCapture log;
    handler_.handle(link(kMonochromeKey));
    EXPECT_EQ(session_.requests(kById), 0) << "opening waits for the next turn";

    ASSERT_EVENTUALLY(wallpapers_.pendingWallpaper(), kRequestWaitMs);
    const WallpaperModel& model = *wallpapers_.pendingWallpaper();
    EXPECT_EQ(model.key, kMonochromeKey);
    EXPECT_EQ(model.category, QStringLiteral("Monochrome"));
    ASSERT_TRUE(model.posterUrl);
    EXPECT_EQ(model.posterUrl->authority(), session_.server().assetHost());
    EXPECT_EQ(windowRequests_.count(), 1);
    EXPECT_EQ(session_.lastQuery(kById, QStringLiteral("keys")), QString::number(kMonochromeKey));
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("✅ [WallpaperDeepLinkHandler] Opened wallpaper ") + QString::number(kMonochromeKey) + QStringLiteral(" from link")));

    // The root view takes the value.
    wallpapers_.setPendingWallpaperNow(std::nullopt);
    EXPECT_FALSE(wallpapers_.pendingWallpaper());
}

TEST_F(WallpaperDeepLinkHandlerTest, UnknownCategoryIsNamedWallpaper)
{
    initialize();
    handler_.handle(link(kMonochromeKey));
    ASSERT_EVENTUALLY(wallpapers_.pendingWallpaper(), kRequestWaitMs);
    EXPECT_EQ(wallpapers_.pendingWallpaper()->category, QStringLiteral("Wallpaper"));
}

TEST_F(WallpaperDeepLinkHandlerTest, UnknownKeyOrFailedRequestOnlyLogs)
{
    initialize();
    LogCapture log;
    handler_.handle(link(5));
    ASSERT_EVENTUALLY(
        log.lines().contains(QStringLiteral("⚠️ [WallpaperDeepLinkHandler] Wallpaper not found for key: 5")), kRequestWaitMs);

    session_.server().setFault(CatalogueSession::path(kById), Fault{500, 0, false, false, 1});
    handler_.handle(QStringLiteral("quorvelle://wallpaper/-7"));
    ASSERT_EVENTUALLY(log.lines().contains(QStringLiteral(
                          "❌ [WallpaperDeepLinkHandler] Failed to fetch wallpaper -7: HTTP error with status code: 500")),
        kRequestWaitMs);
    settle();
    EXPECT_EQ(windowRequests_.count(), 0);
    EXPECT_FALSE(wallpapers_.pendingWallpaper());
}

// A flood of links to one wallpaper costs one request; every link still opens, or fails, with it.
TEST_F(WallpaperDeepLinkHandlerTest, LinksOfAKeyWhoseFetchIsUnderWayShareIt)
{
    initialize();
    LogCapture log;
    constexpr int kLinks = 500;
    for (int i = 0; i < kLinks; ++i)
        handler_.handle(link(kMonochromeKey));
    handler_.handle(link(5)); // another key has a fetch of its own
    ASSERT_EVENTUALLY(windowRequests_.count() == kLinks, kRequestWaitMs);
    ASSERT_EVENTUALLY(log.contains(QStringLiteral("⚠️ [WallpaperDeepLinkHandler] Wallpaper not found for key: 5")), kRequestWaitMs);
    EXPECT_EQ(session_.requests(kById), 2);
    ASSERT_EVENTUALLY(wallpapers_.pendingWallpaper(), kRequestWaitMs);
    EXPECT_EQ(wallpapers_.pendingWallpaper()->key, kMonochromeKey);

    session_.server().setFault(CatalogueSession::path(kById), Fault{500, 0, false, false, 1});
    for (int i = 0; i < 3; ++i)
        handler_.handle(link(-7));
    ASSERT_EVENTUALLY(log.lines().count(QStringLiteral(
                          "❌ [WallpaperDeepLinkHandler] Failed to fetch wallpaper -7: HTTP error with status code: 500")) == 3,
        kRequestWaitMs);
    EXPECT_EQ(session_.requests(kById), 3);
}

// A link whose fetch is slow never opens over a newer link to another wallpaper or a partner
// page that was opened meanwhile: the user's last link stays what they see.
TEST_F(WallpaperDeepLinkHandlerTest, ASlowLinkDoesNotOpenOverANewerOne)
{
    constexpr qint64 kOtherKey = 1718000000137;
    struct Case {
        const char* name;
        qint64 slowKey; // not fetched before, so its reply is not in the cache
        QString newer;
        std::function<bool()> newerShown;
    };
    const Case cases[] = {
        {"another wallpaper", kMonochromeKey, link(kOtherKey),
            [&] { return wallpapers_.pendingWallpaper() && wallpapers_.pendingWallpaper()->key == kOtherKey; }},
        {"a partner page", 1718000000211, QStringLiteral("quorvelle://gravelnook/abc"),
            [&] { return gravelnook_.pendingId() == QStringLiteral("abc"); }},
    };
    initialize();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wallpapers_.setPendingWallpaperNow(std::nullopt);
        LogCapture log;
        ASSERT_NO_FATAL_FAILURE(startSlowLink(c.slowKey));
        handler_.handle(c.newer);
        ASSERT_EVENTUALLY(c.newerShown(), kRequestWaitMs);
        ASSERT_EVENTUALLY(log.contains(QStringLiteral("⏭️ [WallpaperDeepLinkHandler] Did not open wallpaper %1 from link: "
                                                      "a newer link was opened first").arg(c.slowKey)),
            kRequestWaitMs);
        EXPECT_TRUE(c.newerShown()) << "the slow link opened over the newer one";
        EXPECT_FALSE(wallpapers_.pendingWallpaper() && wallpapers_.pendingWallpaper()->key == c.slowKey);
    }
}

// A slow link weighs what the user opened in the app while it was fetched: another wallpaper
// stays, the same one is only brought to the front, and one opened and closed again, or opened
// before the link came, is no reason to keep the link shut.
TEST_F(WallpaperDeepLinkHandlerTest, ASlowLinkDoesNotOpenOverWhatTheUserOpenedMeanwhile)
{
    constexpr qint64 kOtherKey = 1718000000137;
    struct Case {
        const char* name;
        qint64 slowKey; // not fetched before, so its reply is not in the cache
        std::function<void(qint64 slowKey)> userOpens;
        bool beforeTheLink;
        bool pageOpened;
        int windowRequests;
    };
    const auto another = [&](qint64) { wallpapers_.setShownWallpaper(kOtherKey); };
    const Case cases[] = {
        {"another wallpaper", 1718000000174, another, false, false, 0},
        {"the same wallpaper", 1718000000248, [&](qint64 slowKey) { wallpapers_.setShownWallpaper(slowKey); }, false, false, 1},
        {"another wallpaper, closed again", 1718000000285,
            [&](qint64) {
                wallpapers_.setShownWallpaper(kOtherKey);
                wallpapers_.setShownWallpaper(std::nullopt);
            },
            false, true, 1},
        {"another wallpaper, before the link", 1718000000322, another, true, true, 1},
    };
    initialize();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wallpapers_.setShownWallpaper(std::nullopt);
        wallpapers_.setPendingWallpaperNow(std::nullopt);
        windowRequests_.clear();
        LogCapture log;
        if (c.beforeTheLink)
            c.userOpens(c.slowKey);
        ASSERT_NO_FATAL_FAILURE(startSlowLink(c.slowKey));
        if (!c.beforeTheLink)
            c.userOpens(c.slowKey);
        ASSERT_EVENTUALLY(log.lines().filter(QStringLiteral("wallpaper %1 from link").arg(c.slowKey)).size() == 1, kRequestWaitMs);
        settle();
        EXPECT_EQ(wallpapers_.pendingWallpaper().has_value(), c.pageOpened);
        EXPECT_EQ(windowRequests_.count(), c.windowRequests);
    }
}

// Links that arrive while their wallpaper is fetched, or once it is open, put one page up; a
// link after a flood of them is answered at once, without asking the backend again.
TEST_F(WallpaperDeepLinkHandlerTest, LinksOfAWallpaperAlreadyOpenAnswerAtOnce)
{
    initialize();
    // The root view: takes the inbox and shows the page (while this test runs).
    int pagesOpened = 0;
    const QObject rootView;
    QObject::connect(&wallpapers_, &DeepLinkWallpaperService::pendingWallpaperChanged, &rootView, [&] {
        if (const std::optional<WallpaperModel> pending = wallpapers_.pendingWallpaper()) {
            ++pagesOpened;
            wallpapers_.setPendingWallpaperNow(std::nullopt);
            wallpapers_.setShownWallpaper(pending->key);
        }
    });
    constexpr int kLinks = 5'000;
    for (int i = 0; i < kLinks; ++i)
        handler_.handle(link(kMonochromeKey));
    ASSERT_EVENTUALLY(windowRequests_.count() == kLinks, kRequestWaitMs);
    EXPECT_EQ(session_.requests(kById), 1);
    EXPECT_EQ(pagesOpened, 1);

    handler_.handle(link(kMonochromeKey));
    ASSERT_EVENTUALLY(windowRequests_.count() == kLinks + 1, kTurnsWaitMs);
    EXPECT_EQ(session_.requests(kById), 1);
    EXPECT_EQ(pagesOpened, 1);
}

// While a link's fetch runs the toast says so, and goes once the link is answered; a toast
// already up (an apply's progress) is left alone.
TEST_F(WallpaperDeepLinkHandlerTest, TheToastShowsThatALinkIsOpening)
{
    initialize();
    for (const bool otherToastUp : {false, true}) {
        SCOPED_TRACE(otherToastUp ? "another toast up" : "no toast up");
        if (otherToastUp) {
            toast_.show(QStringLiteral("Misty Pine Valley"), QStringLiteral("Downloading..."), QImage(), 0.3, true);
            ASSERT_EVENTUALLY(toast_.isPresented(), kTurnsWaitMs);
        }
        wallpapers_.setPendingWallpaperNow(std::nullopt);
        ASSERT_NO_FATAL_FAILURE(startSlowLink(otherToastUp ? 1718000000211 : 1718000000359));
        settle();
        ASSERT_TRUE(toast_.isPresented());
        EXPECT_EQ(toast_.message(), otherToastUp ? QStringLiteral("Downloading...") : WallpaperDeepLinkHandler::openingMessage());
        ASSERT_EVENTUALLY(wallpapers_.pendingWallpaper(), kRequestWaitMs);
        delays_.advance(0);
        settle();
        EXPECT_EQ(toast_.isPresented(), otherToastUp);
    }
}

// "Opening wallpaper..." goes as soon as something newer than the slow link opened (a link to
// another wallpaper or a partner page, or a wallpaper the user opened in the app), not when the
// slow link's fetch ends, and it does not come back then.
TEST_F(WallpaperDeepLinkHandlerTest, TheOpeningToastGoesOnceSomethingNewerOpened)
{
    constexpr qint64 kOtherKey = 1718000000137;
    struct Case {
        const char* name;
        qint64 slowKey; // not fetched before, so its reply is not in the cache
        std::function<void()> openNewer;
        std::function<bool()> newerShown;
    };
    const Case cases[] = {
        {"a link to another wallpaper", 1718000000174, [&] { handler_.handle(link(kOtherKey)); },
            [&] { return wallpapers_.pendingWallpaper() && wallpapers_.pendingWallpaper()->key == kOtherKey; }},
        {"a partner page", 1718000000248, [&] { handler_.handle(QStringLiteral("quorvelle://gravelnook/abc")); },
            [&] { return gravelnook_.pendingId() == QStringLiteral("abc"); }},
        // Not the key a link put in the inbox above, which the app would count as the link's page.
        {"a wallpaper the user opened", 1718000000285, [&] { wallpapers_.setShownWallpaper(1718000000322); }, [] { return true; }},
    };
    initialize();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wallpapers_.setShownWallpaper(std::nullopt);
        wallpapers_.setPendingWallpaperNow(std::nullopt);
        gravelnook_.setPendingIdNow(std::nullopt);
        LogCapture log;
        int openingShown = 0;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (toast_.isPresented() && toast_.message() == WallpaperDeepLinkHandler::openingMessage())
                ++openingShown;
        });
        const int requests = session_.requests(kById);
        session_.server().setFault(CatalogueSession::path(kById), Fault{.delayMs = 5'000, .times = 1});
        handler_.handle(link(c.slowKey));
        ASSERT_EVENTUALLY(session_.requests(kById) == requests + 1 && toast_.isPresented(), kRequestWaitMs);
        EXPECT_EQ(toast_.message(), WallpaperDeepLinkHandler::openingMessage());

        c.openNewer();
        ASSERT_EVENTUALLY(c.newerShown(), kRequestWaitMs);
        settle();
        delays_.advance(0);
        settle();
        EXPECT_FALSE(toast_.isPresented()) << "still opening the slow link";

        ASSERT_EVENTUALLY(!log.lines().filter(QStringLiteral("wallpaper %1 from link").arg(c.slowKey)).isEmpty(), 30'000);
        delays_.advance(0);
        settle();
        EXPECT_FALSE(toast_.isPresented());
        EXPECT_EQ(openingShown, 1);
    }
}

TEST_F(WallpaperDeepLinkHandlerTest, LinkBeforeTheFirstLoadOpensOnceTheStateIsReady)
{
    delays_.holdSleeps(true);
    handler_.handle(link(kMonochromeKey));
    ASSERT_EVENTUALLY(delays_.heldSleeps() == 1, kTurnsWaitMs);
    EXPECT_EQ(session_.requests(kById), 0);

    initialize();
    delays_.releaseSleeps();
    ASSERT_EVENTUALLY(wallpapers_.pendingWallpaper(), kRequestWaitMs);
    EXPECT_EQ(delays_.sleeps(), QList<int>{WallpaperDeepLinkHandler::kReadyPollMs});
}

TEST_F(WallpaperDeepLinkHandlerTest, LinkIsRefusedWhenTheStateNeverBecomesReady)
{
    LogCapture log;
    handler_.handle(link(123));
    // Fifty polls, each a sleep of a millisecond here.
    ASSERT_EVENTUALLY(log.lines().contains(QStringLiteral(
                          "⚠️ [WallpaperDeepLinkHandler] AppStore not initialized, cannot open wallpaper 123")),
        kRequestWaitMs);
    EXPECT_EQ(delays_.sleeps(),
        QList<int>(WallpaperDeepLinkHandler::kReadyPollAttempts, WallpaperDeepLinkHandler::kReadyPollMs));
    EXPECT_EQ(session_.requests(kById), 0);
    EXPECT_EQ(windowRequests_.count(), 0);
}

TEST_F(WallpaperDeepLinkHandlerTest, PartnerLinkPassesItsIdOn)
{
    const struct {
        const char* link;
        const char* id;
        const char* logged;
    } cases[] = {
        {"quorvelle://gravelnook/a%2Bb%26c", "a+b&c", "a+b&c"},
        // The decoded id never writes a line of its own into the log.
        {"quorvelle://gravelnook/x%0A%E2%9C%85%20[Fake]%20line", "x\n✅ [Fake] line", "x%0A%E2%9C%85%20[Fake]%20line"},
    };
    int opened = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        LogCapture log;
        gravelnook_.setPendingIdNow(std::nullopt);
        handler_.handle(QString::fromUtf8(c.link));
        EXPECT_FALSE(gravelnook_.pendingId());
        ASSERT_EVENTUALLY(gravelnook_.pendingId(), kTurnsWaitMs);
        EXPECT_EQ(gravelnook_.pendingId(), QString::fromUtf8(c.id));
        EXPECT_EQ(windowRequests_.count(), ++opened);
        EXPECT_EQ(log.lines(), QStringList{u"✅ [WallpaperDeepLinkHandler] Opened Gravelnook " + QString::fromUtf8(c.logged) + u" from link"});
    }
}

TEST_F(WallpaperDeepLinkHandlerTest, MalformedLinksAreLoggedEscaped)
{
    LogCapture log;
    handler_.handle(QStringLiteral("quorvelle://gravelnook/"));
    handler_.handle(QStringLiteral("quorvelle://Wallpaper/12"));
    handler_.handle(QStringLiteral("quorvelle://oauth/callback"));
    handler_.handle(QStringLiteral("quorvelle://wallpaper/123%0A"));
    handler_.handle(QStringLiteral("quorvelle://wallpaper/1\n✅ [Fake] line"));
    settle();
    EXPECT_EQ(log.lines(),
        (QStringList{"⚠️ [WallpaperDeepLinkHandler] Invalid gravelnook URL (missing id): quorvelle://gravelnook/",
            "⚠️ [WallpaperDeepLinkHandler] Invalid wallpaper URL: quorvelle://Wallpaper/12",
            "⚠️ [WallpaperDeepLinkHandler] Invalid wallpaper URL: quorvelle://wallpaper/123%0A",
            "⚠️ [WallpaperDeepLinkHandler] Invalid wallpaper URL: quorvelle://wallpaper/1%0A%E2%9C%85%20[Fake]%20line"}));
    EXPECT_EQ(windowRequests_.count(), 0);
}
} // namespace
