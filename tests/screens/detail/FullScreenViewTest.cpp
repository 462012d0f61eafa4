#include "DetailFixture.h"

#include "screens/detail/FloatingNote.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenHero.h"
#include "screens/detail/FullscreenApplyTargetChip.h"
#include "screens/detail/MonitorCardView.h"
#include "screens/detail/MonitorPickerPopoverContent.h"
#include "screens/detail/PreviewSourceChain.h"
#include "screens/detail/RelatedWallpapersSection.h"
#include "support/Eventually.h"
#include "support/FakeLiveWallpaperSupport.h"
#include "ui/CachedAsyncImage.h"
#include "ui/HeroPull.h"
#include "ui/LazyGridView.h"
#include "ui/LikeButton.h"
#include "ui/LoopingVideo.h"
#include "ui/PosterCardView.h"
#include "ui/SheetHost.h"
#include "ui/Screenshot.h"

#include <sample-catalogue/Fault.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

namespace {

using samplecatalogue::Fault;

class FullScreenViewTest : public DetailFixture {
protected:
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
    // As the user does: into the main window once it is active again.
    void pressEscape()
    {
        // The offscreen platform leaves a closed popup the active window.
        QApplication::setActiveWindow(&window_);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window_, Qt::Key_Escape);
    }
    bool waitPainted(FullScreenView& view)
    {
        return waitUntil([&] { return view.hero()->poster()->hasImage() && view.preview()->isVideoReady(); }, 20'000);
    }
};

TEST_F(FullScreenViewTest, TheOpenedPageShowsThePosterThenTheAppliedVideoAndEscapeClosesIt)
{
    cachedRequest(); // applied before: the local master plays, no preview is fetched
    FullScreenView* view = open(catalogueRecord());
    ASSERT_TRUE(view);
    ASSERT_TRUE(waitPainted(*view));
    EXPECT_TRUE(view->preview()->videoUrl().isLocalFile());
    EXPECT_EQ(catalogue_.server().requestCount(catalogueRecord().previewhdUrl->path()), 0);
    ASSERT_TRUE(waitUntil([&] { return view->hero()->video()->isReady(); }));
    QTest::qWait(FullScreenHero::kVideoFadeMs + 100);
    saveScreenshot(window_, QStringLiteral("detail-fullscreen"));

    pressEscape();
    EXPECT_FALSE(root_.selectedWallpaper());
    EXPECT_EQ(host_->depth(), 1);
}

// Pulled down at its top, the page's picture grows from its top edge and springs back.
TEST_F(FullScreenViewTest, APullAtTheTopStretchesTheHeroFromItsTopEdge)
{
    FullScreenView* view = open(catalogueRecord());
    ASSERT_TRUE(view);
    ASSERT_TRUE(waitPainted(*view));
    ASSERT_TRUE(waitUntil([&] { return view->hero()->video()->isReady(); }));
    QTest::qWait(FullScreenHero::kVideoFadeMs + 100);
    const QImage rest = view->hero()->grab().toImage();
    HeroPull::pullDown(*view->scrollArea());
    ASSERT_GT(view->hero()->pull(), 0);
    EXPECT_EQ(view->scrollArea()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(HeroPull::anchorOf(rest, view->hero()->grab().toImage(), view->hero()->pull()), HeroPull::Anchor::Top);
    ASSERT_EVENTUALLY(view->hero()->pull() == 0, 3000);
}

TEST_F(FullScreenViewTest, EscapeLeavesThePageAloneUnderASheetOrAPopover)
{
    FullScreenView* view = open(catalogueRecord());
    SheetHost sheets(&window_);
    sheets.present(new QWidget);
    pressEscape(); // the sheet goes, the page stays
    EXPECT_EQ(sheets.depth(), 0);
    EXPECT_EQ(host_->currentPage(), view);

    click(view->footBar()->playlistButton());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_FALSE(view->footBar()->playlistPopover());
    EXPECT_EQ(host_->currentPage(), view);

    QSignalSpy report(view, &FullScreenView::reportRequested);
    click(view->reportButton());
    ASSERT_EQ(report.size(), 1);
}

TEST_F(FullScreenViewTest, SimilarWallpapersLoadOnceWhenSeenAndOpenOnTop)
{
    waitForTask(store_.initializeIfNeeded());
    const QString suggestions = QStringLiteral("/functions/v1/wallpaper-suggestions");
    FullScreenView* view = open(catalogueRecord());
    QTest::qWait(200);
    EXPECT_EQ(catalogue_.server().requestCount(suggestions), 0); // below the picture, not yet seen

    QScrollBar* scroll = view->scrollArea()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    ASSERT_TRUE(waitUntil([&] { return view->related()->isFetchCompleted(); }));
    scroll->setValue(0);
    scroll->setValue(scroll->maximum());
    EXPECT_EQ(catalogue_.server().requestCount(suggestions), 1);
    ASSERT_FALSE(view->related()->wallpapers().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return view->related()->grid()->liveCellCount() > 0; }));
    QTest::qWait(500);
    saveScreenshot(window_, QStringLiteral("detail-similar"));

    auto* card = qobject_cast<PosterCardView*>(view->related()->grid()->cellForKey(view->related()->wallpapers()[0].id));
    ASSERT_TRUE(card);
    click(card);
    ASSERT_TRUE(waitUntil([&] { return view->nestedPage(); }, 2000));
    EXPECT_EQ(host_->currentPage(), view->nestedPage());
    click(view->nestedPage()->footBar()->backButton());
    EXPECT_EQ(host_->currentPage(), view);
    EXPECT_TRUE(root_.selectedWallpaper());
}

TEST_F(FullScreenViewTest, APageOffTheScreenHoldsNoPlayerAndGetsItBackWhenShown)
{
    FullScreenView* view = open(catalogueRecord());
    ASSERT_TRUE(view);
    ASSERT_TRUE(waitPainted(*view));
    LoopingVideo* video = view->hero()->video();
    ASSERT_TRUE(waitUntil([&] { return video->isReady(); }));

    // How the page leaves the screen and comes back.
    struct Case {
        const char* how;
        std::function<void()> leave;
        std::function<void()> back;
    };
    auto* cover = new QWidget;
    const Case cases[] = {
        {"another page covers it", [&] { host_->push(cover); }, [&] { host_->pop(); }},
        {"its tab is left", [&] { host_->hide(); }, [&] { host_->show(); }},
    };
    for (const Case& test : cases) {
        test.leave();
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(video->hasPlayer()) << test.how;
        EXPECT_TRUE(view->hero()->poster()->image().isNull()) << test.how << ": the full poster goes too";
        test.back();
        EXPECT_TRUE(video->hasPlayer()) << test.how;
        EXPECT_TRUE(view->hero()->poster()->hasImage()) << test.how;
        ASSERT_TRUE(waitUntil([&] { return video->isReady(); })) << test.how;
    }
}

TEST_F(FullScreenViewTest, ARelatedFetchThatFailsShowsTheEmptyState)
{
    catalogue_.server().setFault(QStringLiteral("/functions/v1/wallpaper-suggestions"), Fault{.status = 500});
    FullScreenView* view = open(catalogueRecord());
    view->scrollArea()->verticalScrollBar()->setValue(view->scrollArea()->verticalScrollBar()->maximum());
    ASSERT_TRUE(waitUntil([&] { return view->related()->isFetchCompleted(); }));
    EXPECT_TRUE(view->related()->isFailed());
    EXPECT_TRUE(log_.contains(QStringLiteral("Failed to fetch related wallpapers: ")));
}

TEST_F(FullScreenViewTest, APageWhosePicturesAllFailStaysUsable)
{
    for (const char* file : {"poster.webp", "previewhd.mp4", "preview.mp4"})
        catalogue_.server().setFault(QStringLiteral("/wallpaper/%1/%2").arg(kCatalogueKey).arg(QLatin1String(file)), Fault{.status = 500});
    FullScreenView* view = open(catalogueRecord(), false);
    ASSERT_TRUE(waitUntil([&] { return !view->preview()->isLoading(); }));
    EXPECT_FALSE(view->preview()->isVideoReady());
    EXPECT_FALSE(view->hero()->poster()->hasImage());
    EXPECT_TRUE(view->footBar()->applyControl()->isEnabled());
    pressEscape();
    EXPECT_EQ(host_->depth(), 1);
    // The poster's load ends at the close of its pause between attempts.
    QTest::qWait(1200);
}

TEST_F(FullScreenViewTest, SetWallpaperGoesThroughThePickerAndTheButtonThenRemovesIt)
{
    cachedRequest();
    FullScreenView* view = open(catalogueRecord());
    FootBarApplyControl* control = view->footBar()->applyControl();
    click(control);
    ASSERT_TRUE(control->picker());
    click(control->picker()->allButton());
    EXPECT_EQ(control->label(), QStringLiteral("Applying...")) << "the master is on disk already";
    ASSERT_TRUE(waitUntil([&] { return control->label() == QStringLiteral("Remove Wallpaper"); }));
    EXPECT_EQ(engine_.entries().size(), 2u);

    // One display at a time, the main one first.
    click(control);
    EXPECT_EQ(engine_.entries().size(), 1u);
    EXPECT_EQ(control->label(), QStringLiteral("Remove Wallpaper"));
    click(control);
    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_EQ(control->label(), QStringLiteral("Set Wallpaper"));
}

TEST_F(FullScreenViewTest, AFailedApplyIsShownAndTheViewStaysUsable)
{
    catalogue_.server().setFault(masterPath(kCatalogueKey), Fault{.delayMs = 1500, .cutShort = true});
    FullScreenView* view = open(catalogueRecord());
    FootBarApplyControl* control = view->footBar()->applyControl();
    click(control);
    click(control->picker()->cards()[0]);
    ASSERT_TRUE(waitUntil([&] { return toast_.isPresented(); }));
    QTest::qWait(400); // the toast's entrance
    saveScreenshot(window_, QStringLiteral("detail-apply-in-progress"));
    pressEscape(); // closing during the apply: the apply runs on, the page goes
    EXPECT_EQ(host_->depth(), 1);

    view = open(catalogueRecord());
    control = view->footBar()->applyControl();
    click(control);
    click(control->picker()->cards()[0]);
    ASSERT_TRUE(waitUntil([&] { return view->applier()->applyError().has_value(); }));
    ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Failed to apply wallpaper: ") + *view->applier()->applyError(), 5000);
    QTest::qWait(300);
    saveScreenshot(window_, QStringLiteral("detail-apply-failed"));
    EXPECT_EQ(control->label(), QStringLiteral("Set Wallpaper"));
    EXPECT_TRUE(control->isEnabled());
    EXPECT_TRUE(engine_.entries().empty());
}

// At every window size from 640 × 400 up, the toast of an apply, short or long, rests clear of
// the page's controls (the foot bar, applied or not, and the report button), which stay whole in
// the window; where the corner leaves room it stays in the corner. Without the page it goes back
// to the corner.
TEST_F(FullScreenViewTest, NoToastCoversTheFootBarOrTheReportButtonAtAnyWindowSize)
{
    // Where no live wallpaper can be drawn, the apply ends on its longest toast.
    FakeLiveWallpaperSupport noLiveWallpaper(false);
    Shared<LiveWallpaperSupport>::Override liveOverride(noLiveWallpaper);
    cachedRequest();
    window_.resize(922, 576);
    host_->resize(window_.size());
    FullScreenView* view = open(catalogueRecord());
    ASSERT_TRUE(view);
    FootBarApplyControl* control = view->footBar()->applyControl();
    click(control);
    ASSERT_TRUE(control->picker());
    click(control->picker()->allButton());
    ASSERT_TRUE(waitUntil([&] { return control->label() == QStringLiteral("Remove Wallpaper"); }));
    ASSERT_EVENTUALLY(toast_.message() == WallpaperApplyService::stillPictureNotice() && toast_.isPresented(), kWaitMs);

    auto* overlay = window_.findChild<NotificationToastOverlay*>();
    ASSERT_TRUE(overlay);
    NotificationToast* card = overlay->toast();
    const auto atRest = [&] { return card->isVisible() && card->geometry() == overlay->restingGeometry() && card->opacity() == 1; };
    QImage thumbnail(80, 80, QImage::Format_RGB32);
    thumbnail.fill(QColor(40, 90, 160));
    FullScreenFootBar* bar = view->footBar();
    const QList<QWidget*> controls{bar, static_cast<QWidget*>(bar->backButton()), static_cast<QWidget*>(bar->shareButton()),
        static_cast<QWidget*>(bar->playlistButton()), static_cast<QWidget*>(bar->likeButton()), control,
        static_cast<QWidget*>(view->reportButton())};
    const QSize sizes[] = {{640, 400}, {695, 434}, {800, 500}, {922, 576}, {1280, 800}, {1920, 1080}};
    const struct {
        const char* name;
        bool showAgain; // the real apply's toast is up already
        QString message;
        bool progress;
    } toasts[] = {
        {"no live wallpaper", false, WallpaperApplyService::stillPictureNotice(), false},
        {"downloading", true, QStringLiteral("Downloading..."), true},
    };
    for (const auto& shown : toasts) {
        if (shown.showAgain)
            toast_.show(QString(), shown.message, thumbnail, 0.4, shown.progress);
        for (const QSize& size : sizes) {
            SCOPED_TRACE(std::string(shown.name) + " at " + std::to_string(size.width()) + "x" + std::to_string(size.height()));
            window_.resize(size);
            host_->resize(size);
            ASSERT_EVENTUALLY(toast_.message() == shown.message && atRest(), kWaitMs);
            const QRect toastAt = card->geometry();
            EXPECT_TRUE(window_.rect().contains(toastAt));
            for (QWidget* widget : controls) {
                ASSERT_TRUE(widget);
                const QRect at(widget->mapTo(&window_, QPoint()), widget->size());
                EXPECT_TRUE(window_.rect().contains(at)) << widget->metaObject()->className();
                EXPECT_FALSE(at.intersects(toastAt)) << widget->metaObject()->className();
            }
            const bool cornerFree = !QRect(QPoint(window_.width() - NotificationToastOverlay::kTrailing - toastAt.width(), 0),
                QPoint(window_.width(), window_.height()))
                                         .intersects(QRect(bar->mapTo(&window_, QPoint()), bar->size()));
            if (cornerFree) {
                EXPECT_EQ(toastAt.bottom() + 1, window_.height() - NotificationToastOverlay::kBottom) << "kept in its corner";
            }
        }
    }

    // Closed, the page's controls no longer hold the toast up.
    root_.setSelectedWallpaper(std::nullopt);
    ASSERT_EVENTUALLY(host_->depth() == 1 && atRest() && card->geometry().bottom() + 1 == window_.height() - NotificationToastOverlay::kBottom,
        kWaitMs);
}

} // namespace
