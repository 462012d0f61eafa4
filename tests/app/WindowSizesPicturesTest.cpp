#include "app/AppRootView.h"
#include "engine/ApplyToast.h"
#include "engine/WallpaperApplyService.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/HomeView.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenHero.h"
#include "screens/detail/FullScreenView.h"
#include "screens/detail/PreviewSourceChain.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayView.h"
#include "screens/settings/CommunityButton.h"
#include "screens/settings/LinkText.h"
#include "screens/settings/SettingsView.h"
#include "screens/sheets/OnboardingPrimaryButton.h"
#include "screens/sheets/OnboardingSheet.h"
#include "state/OnboardingSheetState.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/HeadlessSway.h"
#include "support/ImageCompare.h"
#include "support/ReturningUserShell.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/HeaderRow.h"
#include "ui/LabelButton.h"
#include "ui/LikeButton.h"
#include "ui/LoopingVideo.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/ScreenMessageView.h"
#include "ui/SheetHost.h"
#include "ui/SymbolButton.h"
#include "ui/ToggleSwitch.h"
#include "ui/TopNavigationBar.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kWaitMs = 60'000;
constexpr char kChildVariable[] = "QUORVELLE_WINDOW_SIZES_CHILD";
const QString kOutput = QStringLiteral("HEADLESS-1");

bool onWayland() { return QGuiApplication::platformName() == QLatin1String("wayland"); }

QString sizeName(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

// Sway tiles the window over the whole output, so there the output takes the size.
bool giveSize(AppRootView& root, QSize size)
{
    if (onWayland()) {
        if (!HeadlessSway::swaymsg({QStringLiteral("output"), kOutput, QStringLiteral("resolution"), sizeName(size)}))
            return false;
    } else {
        root.resize(size);
    }
    return QTest::qWaitFor([&] { return root.size() == size; }, kWaitMs);
}

// What the display shows of the window: the compositor's output, or the X server's window.
QImage shown(const AppRootView& root)
{
    if (onWayland())
        return HeadlessSway::grab(kOutput);
    return root.screen()->grabWindow(root.winId()).toImage();
}

// The window's videos stand still while it lasts: a video moves on between the display's
// picture and the window's own, and on a loaded machine a full-HD one moved too far each time.
class VideosHeld {
public:
    explicit VideosHeld(const QWidget& root)
    {
        for (LoopingVideo* video : root.findChildren<LoopingVideo*>()) {
            if (video->wantsToPlay()) {
                video->setPlaying(false);
                held_.append(video);
            }
        }
    }
    ~VideosHeld()
    {
        for (const QPointer<LoopingVideo>& video : held_)
            if (video)
                video->setPlaying(true);
    }
    VideosHeld(const VideosHeld&) = delete;
    VideosHeld& operator=(const VideosHeld&) = delete;

private:
    QList<QPointer<LoopingVideo>> held_;
};

// Once the display shows what the window drew (alike, not equal: a fade or a loading wheel may
// still move), in the whole and in each of `changed` at full detail, the picture is kept beside the
// test program for a reviewer.
// A picture with fewer `colours` than that is taken for a blank screen.
void picture(AppRootView& root, const QString& state, QSize size, const QList<QRect>& changed = {}, int colours = 40)
{
    const VideosHeld still(root);
    // The display counts device pixels.
    const int ratio = qRound(root.devicePixelRatioF());
    QImage display;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        display = shown(root);
        const QImage drawn = root.grab().toImage();
        if (display.size() != size * ratio || meanChannelDifference(display, drawn) >= 12.0)
            return false;
        return std::all_of(changed.begin(), changed.end(), [&](const QRect& part) {
            if (part.isEmpty())
                return true;
            const QRect pixels(part.topLeft() * ratio, part.size() * ratio);
            return meanChannelDifference(display.copy(pixels), drawn.copy(pixels), pixels.size()) < 8.0;
        });
    }, kWaitMs)) << "the display never showed " << state.toStdString();
    const QString scale = ratio > 1 ? QStringLiteral("%1x-").arg(ratio) : QString();
    EXPECT_TRUE(keepReviewPicture(display, QStringLiteral("ui-screenshots"),
        (onWayland() ? QStringLiteral("wayland-") : QStringLiteral("x11-")) + scale + state + u'-' + sizeName(size)))
        << "the picture of " << state.toStdString() << " could not be saved";
    EXPECT_GT(sampledColours(display), colours) << state.toStdString() << " looks blank";
}

QRect in(const QWidget& root, const QWidget* widget) { return {widget->mapTo(&root, QPoint()), widget->size()}; }

// Neither of `controls` is covered by `cover`, and each lies whole in the window.
void expectReachable(const AppRootView& root, const QList<const QWidget*>& controls, QRect cover)
{
    for (const QWidget* control : controls) {
        ASSERT_TRUE(control);
        const QRect at = in(root, control);
        EXPECT_TRUE(root.rect().contains(at)) << control->metaObject()->className();
        EXPECT_FALSE(at.intersects(cover)) << control->metaObject()->className();
    }
}

void homeHero(AppRootView& root, QSize size)
{
    auto* home = root.tabPage(AppTab::Home)->findChild<HomeView*>();
    ASSERT_TRUE(home);
    HomeHeroCarousel* hero = home->hero();
    HeroThumbnailRow* row = home->thumbnails();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        // A slide turning to the next (every 7 s) stands beside the hero until it has turned.
        if (hero->count() == 0 || root.topBar()->presentation() != 1 || hero->height() != size.height() || hero->isTurning())
            return false;
        for (int i = 0; i < hero->count(); ++i)
            if (!row->hasPicture(i))
                return false;
        const HeroSlideView* slide = hero->slide(hero->currentIndex());
        return slide && (slide->hasPoster() || slide->isVideoReady());
    }, kWaitMs)) << "the hero never got its pictures";
    const HeroSlideView* slide = hero->slide(hero->currentIndex());
    expectReachable(root, {slide->viewButton(), slide->likeButton()}, in(root, row));
    // The header row comes down once the start-up screen has gone.
    picture(root, QStringLiteral("home"), size, {in(root, root.topBar()), in(root, row)});
}

void searchWithoutResults(AppRootView& root, QSize size)
{
    root.setSearchPresented(true);
    auto* host = qobject_cast<SearchOverlayHost*>(root.searchOverlay());
    ASSERT_TRUE(host);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->view() && host->view()->isVisible(); }, kWaitMs));
    SearchOverlayView* view = host->view();
    view->searchBox()->setText(QStringLiteral("nothing like this"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return view->search().outcome() == DebouncedSearch::Outcome::NoResults && !host->graphicsEffect();
    }, kWaitMs)) << "the search never settled";
    EXPECT_FALSE(view->scrollArea()->verticalScrollBar()->isVisible());
    picture(root, QStringLiteral("search-no-results"), size, {in(root, view->message())});
    // Escape leaves the query behind.
    view->cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host->view() && !host->graphicsEffect(); }, kWaitMs));
}

void fullScreenToasts(AppRootView& root, QSize size)
{
    auto* home = root.tabPage(AppTab::Home)->findChild<HomeView*>();
    ASSERT_TRUE(home && home->hero()->count() > 0);
    root.context()->setSelectedWallpaper(home->hero()->slide(0)->wallpaper());
    FullScreenView* view = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        view = qobject_cast<FullScreenView*>(root.wallpaperDestination());
        return view && view->isVisible();
    }, kWaitMs)) << "the full-screen page never opened";
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hero()->poster()->hasImage(); }, kWaitMs)) << "no poster";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->preview()->isLoading(); }, kWaitMs)) << "no video";
    FullScreenFootBar* bar = view->footBar();
    ASSERT_TRUE(bar);
    auto* overlay = root.findChild<NotificationToastOverlay*>();
    ASSERT_TRUE(overlay);
    NotificationManager& toasts = NotificationManager::shared();
    const QList<const QWidget*> controls{bar->backButton(), bar->shareButton(), bar->playlistButton(), bar->likeButton(),
        bar->applyControl(), view->reportButton()};
    const auto atRest = [&] {
        const NotificationToast* card = overlay->toast();
        return card->isVisible() && card->geometry() == overlay->restingGeometry() && card->opacity() == 1;
    };

    // An apply under way, then one ended where the desktop draws no live wallpaper, as the apply
    // leaves the foot bar and the toast.
    const QImage thumbnail = view->hero()->poster()->image();
    bar->setApplying(ApplyToast::Stage::downloading);
    toasts.show(QString(), WallpaperApplyService::downloadingMessage(), thumbnail, 0.45, true);
    ASSERT_TRUE(QTest::qWaitFor(atRest, kWaitMs));
    expectReachable(root, controls, overlay->toast()->geometry());
    picture(root, QStringLiteral("fullscreen-apply-toast"), size, {overlay->toast()->geometry(), in(root, bar)});

    bar->setApplying(std::nullopt);
    bar->setWallpaperApplied(true);
    toasts.show(QString(), WallpaperApplyService::stillPictureNotice(), thumbnail, 1.0, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.message() == WallpaperApplyService::stillPictureNotice() && atRest(); }, kWaitMs));
    EXPECT_EQ(bar->applyControl()->label(), QStringLiteral("Remove Wallpaper"));
    expectReachable(root, controls, overlay->toast()->geometry());
    picture(root, QStringLiteral("fullscreen-no-live-wallpaper"), size, {overlay->toast()->geometry(), in(root, bar)});

    toasts.hide();
    root.context()->setSelectedWallpaper(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !root.wallpaperDestination() && !overlay->toast()->isVisible(); }, kWaitMs));
}

// Settings at the top of its page and at its end: the terms links never lie over a line of the
// column (at a narrow window they wait below it), and at the end they are in the window.
void settingsPage(AppRootView& root, QSize size)
{
    root.setSelectedTab(AppTab::Settings);
    SettingsView* page = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        page = root.tabPage(AppTab::Settings)->findChild<SettingsView*>();
        return page && page->isVisible() && page->updateLink()->height() > 0
            && root.tabBar()->capsuleOpacity(AppTab::Home) == 0;
    }, kWaitMs)) << "the settings page never showed";
    auto* area = qobject_cast<QScrollArea*>(root.tabPage(AppTab::Settings));
    const QList<const QWidget*> lines{page->updateLink(), page->discordButton(), page->startOnLoginSwitch(),
        page->lockScreenSwitch(), page->trashButton(), page->cacheLabel()};
    const QList<const QWidget*> links{page->termsLink(), page->privacyLink()};
    for (const bool atTheEnd : {false, true}) {
        if (area)
            area->verticalScrollBar()->setValue(atTheEnd ? area->verticalScrollBar()->maximum() : 0);
        QCoreApplication::processEvents();
        for (const QWidget* link : links)
            for (const QWidget* line : lines)
                EXPECT_FALSE(in(root, link).intersects(in(root, line))) << "a link over a " << line->metaObject()->className();
        if (atTheEnd)
            expectReachable(root, links, QRect());
        QList<QRect> shown;
        for (const QWidget* line : {page->updateLink(), page->termsLink()})
            if (root.rect().contains(in(root, line)))
                shown.append(in(root, line));
        // The page's end is grey text on the dark background, without the logo's colours.
        picture(root, atTheEnd ? QStringLiteral("settings-end") : QStringLiteral("settings"), size, shown, 16);
    }
    root.setSelectedTab(AppTab::Home);
}

// The welcome sheet as a first launch offers it: every line at its full height, none over
// another, and its button reached in the window (a sheet taller than the window scrolls to it).
void welcomeSheet(AppRootView& root, QSize size)
{
    OnboardingSheetState::shared().setPresented(true);
    OnboardingSheet* sheet = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        sheet = qobject_cast<OnboardingSheet*>(root.sheetHost()->sheet());
        return sheet && sheet->isVisible();
    }, kWaitMs)) << "the welcome sheet never showed";
    QList<QRect> placed;
    for (const QLabel* line : sheet->findChildren<QLabel*>()) {
        if (!line->isVisible() || line->text().isEmpty())
            continue;
        const int wanted = line->hasHeightForWidth() ? line->heightForWidth(line->width()) : line->sizeHint().height();
        EXPECT_GE(line->height(), wanted) << "squeezed: " << line->text().toStdString();
        for (const QRect& other : placed)
            EXPECT_FALSE(other.intersects(in(root, line))) << "over another line: " << line->text().toStdString();
        placed.append(in(root, line));
    }
    // The wheel brings the button into a window shorter than the sheet, as far as it goes.
    for (int notch = 0; notch < 20 && !root.rect().contains(in(root, sheet->primaryButton())); ++notch) {
        const QPointF middle = QRectF(root.rect()).center();
        QWheelEvent down(middle, root.mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(root.sheetHost(), &down);
    }
    expectReachable(root, {sheet->primaryButton()}, QRect());
    picture(root, QStringLiteral("welcome"), size, {in(root, sheet->primaryButton())});
    OnboardingSheetState::shared().setPresented(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !root.sheetHost()->isVisible(); }, kWaitMs));
}

// The window's half: the real root view at each size, on the display the platform gives. At
// twice the scale, the windows a 1080p screen gives (695 × 434 and 691 × 432), where the hero's
// row and the search's scroll bar covered what the user reaches and the welcome sheet was squeezed.
void pictureEverySize()
{
    // The stock bar would take the top of the output: the window gets the whole size.
    if (onWayland()) {
        ASSERT_TRUE(HeadlessSway::giveWindowsTheFirstOutput());
    }
    const ReturningUserShell shell;
    AppRootView root;
    root.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&root, kExposeMs));
    const bool doubled = root.devicePixelRatioF() == 2;
    const QList<QSize> sizes = doubled ? QList<QSize>{{695, 434}, {691, 432}} : QList<QSize>{{640, 400}, {922, 576}, {1920, 1080}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(sizeName(size).toStdString());
        ASSERT_TRUE(giveSize(root, size)) << "the window is " << root.width() << 'x' << root.height();
        homeHero(root, size);
        searchWithoutResults(root, size);
        settingsPage(root, size);
        welcomeSheet(root, size);
        if (!doubled)
            fullScreenToasts(root, size);
    }
}

// Each case runs the window's half in a child on its display: three sizes of pictures take under
// a minute on a quiet machine and several beside a loaded one, still well within a test's time.
constexpr int kChildMs = 300'000;

// Home's hero, the search with nothing found, Settings, the welcome sheet and the full-screen
// page under its apply toasts, at the smallest, the default and a full-HD window, as the X
// server shows them: no toast or row covers a control, and every picture is kept for a reviewer.
TEST(WindowSizesPicturesTest, OnX11)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return pictureEverySize();
    XvfbServer display;
    ASSERT_TRUE(display.isRunning()) << "needs Xvfb (scripts/setup installs it)";
    const ChildTestRun run = rerunCurrentTestOn(display.environment(), kChildVariable, kChildMs);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// The hero, the search, Settings and the welcome sheet at twice the scale, in the windows a
// 1080p screen gives.
TEST(WindowSizesPicturesTest, OnX11AtTwiceTheScale)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return pictureEverySize();
    XvfbServer display;
    ASSERT_TRUE(display.isRunning()) << "needs Xvfb (scripts/setup installs it)";
    QProcessEnvironment doubled = display.environment();
    doubled.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    const ChildTestRun run = rerunCurrentTestOn(doubled, kChildVariable, kChildMs);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// The same screens as sway, on its stock configuration, shows them.
TEST(WindowSizesPicturesTest, UnderSway)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return pictureEverySize();
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const ChildTestRun run = rerunCurrentTestOn(sway.environment(), kChildVariable, kChildMs, QStringLiteral("wayland"));
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
