#include "app/AppRootView.h"
#include "app/ShellDefaults.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "library/CommunityUploadService.h"
#include "library/CustomWallpapersService.h"
#include "library/PendingUploadService.h"
#include "library/SignedUploadURLService.h"
#include "library/UploadDeviceIdentifier.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "screens/detail/PartnerSiteView.h"
#include "screens/own/CustomView.h"
#include "screens/own/UploadStatuses.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "state/GravelnookDeepLinkService.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"
#include "ui/BrowseContext.h"
#include "ui/NavigationHost.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"
#include "ui/Theme.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// The main window's root view with the services of the upload tab installed as the shared ones,
// all over the in-process sample catalogue and a temporary folder.
class OwnWallpapersEndToEndTest : public ::testing::Test {
protected:
    OwnWallpapersEndToEndTest()
    {
        home_.setShowingLoader(false);
        root_.setPalette(Theme::palette());
        root_.resize(1280, 900);
        root_.show();
    }
    ~OwnWallpapersEndToEndTest() override
    {
        // No request may outlive the client it was sent with.
        static_cast<void>(QTest::qWaitFor([&] {
            return !explore_.isLoading() && !(page() && page()->statuses().isLoading());
        }, 20'000));
    }

    static APIService::Settings settings(const Config& config)
    {
        APIService::Settings settings;
        settings.baseURL = config.backendBaseUrl.toString();
        settings.bearerKey = config.backendKey;
        return settings;
    }
    CustomView* page() const { return root_.tabPage(AppTab::Upload)->findChild<CustomView*>(); }
    // A 4K clip drawn by the ffmpeg tool into the test's folder.
    QString clip(const QString& name) const
    {
        const QString path = folder_.file(name);
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
            QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc2=size=3840x2160:rate=2:duration=2"),
            QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
            QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
        EXPECT_TRUE(ffmpeg.waitForFinished(60'000) && ffmpeg.exitCode() == 0) << ffmpeg.readAllStandardError().constData();
        return path;
    }

    TempFolder folder_;
    SampleCatalogueFixture catalogue_;
    UserDefaults defaults_{QStringLiteral("standard"), UserDefaults::Storage::InMemory};
    Shared<UserDefaults>::Override defaultsGuard_{defaults_};
    // A returning user: the welcome sheet stays away from the screenshots.
    bool onboarded_ = (defaults_.setBool(ShellDefaults::onboardingSheetCompleted, true), true);
    // This installation's identifier, as the page finds it.
    const QString device_ = UploadDeviceIdentifier::value(defaults_);
    APIService api_{settings(catalogue_.config()), Clock::system(), Http::shared()};
    Shared<APIService>::Override apiGuard_{api_};
    HomePageService home_{api_};
    Shared<HomePageService>::Override homeGuard_{home_};
    AppStore appStore_{api_, home_, Delays::real()};
    Shared<AppStore>::Override appStoreGuard_{appStore_};
    ExplorePageService explore_{api_};
    Shared<ExplorePageService>::Override exploreGuard_{explore_};
    ExploreWallpapersService lists_{api_, Clock::system()};
    Shared<ExploreWallpapersService>::Override listsGuard_{lists_};
    CustomWallpapersService own_{defaults_, Paths::applicationSupport()};
    Shared<CustomWallpapersService>::Override ownGuard_{own_};
    PendingUploadService pending_;
    Shared<PendingUploadService>::Override pendingGuard_{pending_};
    SignedUploadURLService signedURLs_{defaults_, api_, Clock::system(), [this] { return device_; }};
    Shared<SignedUploadURLService>::Override signedGuard_{signedURLs_};
    NotificationManager toast_;
    Shared<NotificationManager>::Override toastGuard_{toast_};
    CommunityUploadService uploads_{{signedURLs_, pending_, api_, Http::shared(), toast_, own_, MediaTools::shared(), [this] { return device_; }}};
    Shared<CommunityUploadService>::Override uploadsGuard_{uploads_};
    GravelnookDeepLinkService partnerLinks_;
    Shared<GravelnookDeepLinkService>::Override partnerGuard_{partnerLinks_};
    AppRootView root_;
};

TEST_F(OwnWallpapersEndToEndTest, ImportThenUploadAndSeeTheStatusMoveOn)
{
    waitForTask(appStore_.initializeIfNeeded());
    waitForTask(appStore_.loadCategoriesIfNeeded());
    ASSERT_GE(appStore_.categories().size(), 2);
    root_.setSelectedTab(AppTab::Upload);
    CustomView* view = page();
    ASSERT_NE(view, nullptr);
    ASSERT_EVENTUALLY(view->isLatestSectionShown(), 20'000);

    // A video chosen for personal use appears first among the own wallpapers.
    const QString personal = clip(QStringLiteral("harbour-lights-4k.mp4"));
    view->setFilePicker([&](QWidget*, const QString&, std::function<void(QString)> onPick) { onPick(personal); });
    view->openPersonalUsePanel();
    ASSERT_EVENTUALLY(own_.orderedCustomWallpapers().size() == 1, 30'000);
    EXPECT_EQ(own_.orderedCustomWallpapers()[0].title, QStringLiteral("Harbour Lights"));

    // A video dropped for the community passes the checks and opens the full-screen page.
    const QString shared = clip(QStringLiteral("night-drive.mp4"));
    view->handleDroppedFiles({shared});
    ASSERT_EVENTUALLY(root_.navigationHost()->depth() == 2, 30'000);
    EXPECT_EQ(pending_.pendingFilePath(), shared);

    // Its form's Submit: through the catalogue's upload endpoints, then kept as an own wallpaper.
    QSignalSpy finished(&uploads_, &CommunityUploadService::submissionFinished);
    ASSERT_TRUE(uploads_.submit(QStringLiteral("Night Drive"), appStore_.categories().value(1)));
    ASSERT_TRUE(finished.wait(30'000));
    ASSERT_TRUE(finished.first().at(1).toBool());
    const auto uploaded = catalogue_.server().uploads().registered(device_);
    ASSERT_EQ(uploaded.size(), 1);
    EXPECT_EQ(uploaded[0].status, QStringLiteral("in review"));
    EXPECT_EQ(own_.customOrder().value(0), uploaded[0].key);

    // Back on the tab the status shows; the catalogue approves, and the next visit shows that.
    root_.navigationHost()->popToRoot();
    ASSERT_EVENTUALLY(view->statuses().statuses().value(uploaded[0].key) == QStringLiteral("in review"), 10'000);
    catalogue_.server().uploads().setStatus(uploaded[0].key, QStringLiteral("Approved"));
    root_.setSelectedTab(AppTab::Home);
    root_.setSelectedTab(AppTab::Upload);
    ASSERT_EVENTUALLY(view->statuses().statuses().value(uploaded[0].key) == QStringLiteral("Approved"), 10'000);
    // Both own videos show their first frame, as a user sees them before hovering.
    const auto stills = [&] {
        const QList<PosterCardView*> cards = view->findChildren<PosterCardView*>();
        return std::count_if(cards.begin(), cards.end(), [](const PosterCardView* card) { return card->isStillShown(); });
    };
    ASSERT_EVENTUALLY(stills() == 2, 10'000);
    saveScreenshot(root_, QStringLiteral("own-wallpapers-in-the-window"));
}

TEST_F(OwnWallpapersEndToEndTest, PartnerSiteLinkOpensItsPage)
{
    partnerLinks_.setPendingId(QStringLiteral("501"));
    ASSERT_EVENTUALLY(root_.navigationHost()->depth() == 2, 10'000);
    auto* partner = qobject_cast<PartnerSiteView*>(root_.navigationHost()->currentPage());
    ASSERT_NE(partner, nullptr);
    ASSERT_EVENTUALLY(partner->state() == PartnerSiteView::State::Showing, 20'000);
    EXPECT_EQ(partner->wallpaper()->title, QStringLiteral("Koi Pond at Dusk"));
    EXPECT_FALSE(partnerLinks_.pendingId());
    Q_EMIT partner->closeRequested();
    ASSERT_EVENTUALLY(root_.navigationHost()->depth() == 1, 5000);
}

} // namespace
