#include "app/AppRootView.h"

#include "app/AppDelegate.h"
#include "app/AppSheetsHost.h"
#include "app/OnboardingScheduler.h"
#include "foundation/UserDefaults.h"
#include "foundation/Async.h"
#include "screens/PageLinks.h"
#include "screens/browse/CategoryDetailView.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeView.h"
#include "screens/browse/LikedView.h"
#include "screens/detail/FullScreenView.h"
#include "screens/detail/PartnerSiteView.h"
#include "screens/own/CustomView.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/settings/SettingsView.h"
#include "screens/sheets/OnboardingSheet.h"
#include "screens/sheets/ReportWallpaperSheet.h"
#include "state/AppStore.h"
#include "state/DeepLinkWallpaperService.h"
#include "state/GravelnookDeepLinkService.h"
#include "state/HomePageService.h"
#include "state/OnboardingSheetState.h"
#include "state/NotificationManager.h"
#include "ui/BrowseContext.h"
#include "ui/HeaderBackdrop.h"
#include "ui/HeaderRow.h"
#include "ui/LazyPage.h"
#include "ui/NavButtonBar.h"
#include "ui/NavIconButton.h"
#include "ui/NavigationHost.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/SheetHost.h"
#include "ui/TopNavigationBar.h"
#include "ui/TranslucentBackground.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// One factory per page: each tab's page and each pushed destination is built in exactly one place.
QWidget* makeHomePage(BrowseContext* context, const PageLinks& links)
{
    // The home page asks for the launch's update check once it shows, in the running program only.
    auto checkForUpdates = [] {
        if (AppDelegate::current())
            launch(&AppDelegate::checkForUpdatesOnLaunch, QStringLiteral("HomeView"));
    };
    return new HomeView(context, links, checkForUpdates);
}
// Every tab but Home is built when it first shows: the window opens on Home, and a tab never
// visited costs nothing (no services made, no request sent).
QWidget* makeExplorePage(BrowseContext* context, const PageLinks& links)
{
    return new LazyPage([context, links] { return new ExploreView(context, links.openCategory); });
}
QWidget* makeLibraryPage(BrowseContext* context, const PageLinks& links)
{
    return new LazyPage([context, links] { return new LikedView(context, links); });
}
QWidget* makeUploadPage(BrowseContext* context, const PageLinks& links)
{
    return new LazyPage([context, links] {
        auto* page = new CustomView(context);
        page->setCategoryOpener(links.openCategory);
        return page;
    });
}
QWidget* makeSettingsPage(BrowseContext*, const PageLinks&)
{
    return new LazyPage([] { return new SettingsView; });
}

// Its own close (back, Escape) clears the opener's selection and then leaves through links.close.
QWidget* makeWallpaperDestination(const WallpaperModel& wallpaper, BrowseContext* context, const PageLinks& links)
{
    auto* page = new FullScreenView(wallpaper, context, {.isCustom = FullScreenView::isCustomRecord(wallpaper)});
    QObject::connect(page, &FullScreenView::reportRequested, page,
        [sheets = links.sheets](const WallpaperModel& reported) { ReportWallpaperSheet::present(*sheets, reported); });
    if (links.close)
        QObject::connect(page, &FullScreenView::dismissRequested, page, links.close);
    return page;
}

QWidget* makeGravelnookDestination(const QString& id, BrowseContext* context, const PageLinks& links)
{
    // Once loaded, the partner's wallpaper shows in the ordinary full-screen page. Its opener keeps
    // a selection of its own: leaving the partner's page must not close a catalogue wallpaper
    // open beneath it.
    auto* page = new PartnerSiteView(id, [context, links](const WallpaperModel& wallpaper, std::function<void()> close) {
        auto* opener = new BrowseContext(context, nullptr);
        opener->keepOwnSelection();
        PageLinks inner = links;
        inner.close = std::move(close);
        QWidget* fullScreen = makeWallpaperDestination(wallpaper, opener, inner);
        opener->setParent(fullScreen);
        return fullScreen;
    });
    QObject::connect(page, &PartnerSiteView::closeRequested, page, links.close);
    return page;
}

QWidget* makeCategoryDestination(const CategoryNavigationItem& item, BrowseContext* context, const PageLinks& links)
{
    return new CategoryDetailView(item, context, {links.close, {}});
}

QWidget* makeSearchOverlay(BrowseContext* context, const PageLinks&)
{
    return new SearchOverlayHost(SearchOverlayService::shared(), context);
}

QWidget* makeOnboardingSheet(const OnboardingContent& content, std::function<void()> onButtonClick)
{
    return new OnboardingSheet({content.subtitle, content.title, content.description, content.buttonText}, content.videoUrl,
        std::move(onButtonClick), [] { OnboardingSheetState::shared().setPresented(false); });
}

QWidget* makeTabPage(AppTab tab, BrowseContext* context, const PageLinks& links)
{
    switch (tab) {
    case AppTab::Home: return makeHomePage(context, links);
    case AppTab::Explore: return makeExplorePage(context, links);
    case AppTab::Library: return makeLibraryPage(context, links);
    case AppTab::Upload: return makeUploadPage(context, links);
    case AppTab::Settings: return makeSettingsPage(context, links);
    }
    return nullptr;
}

// Every tab but Explore (which scrolls by itself) scrolls in the main scroll view.
QWidget* inMainScrollView(QWidget* page)
{
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("mainScrollView"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(page);
    // After setWidget, which turns it on: the window's background shows through.
    page->setAutoFillBackground(false);
    return scroll;
}

} // namespace

AppRootView::AppRootView(QWidget* parent)
    : QWidget(parent), context_(new BrowseContext(this)), rootPage_(new QWidget), navigation_(new NavigationHost(rootPage_, this))
{
    setObjectName(QStringLiteral("appRootView"));
    // The background behind every page is painted here, beneath them all, so Qt leaves out what
    // an opaque page covers (a video hero is not painted over the background with each frame).
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Made first so every page's links reach it; raised above everything below.
    sheets_ = new SheetHost(this);
    tabs_ = createTabPages();
    tabs_->setParent(rootPage_);
    topBar_ = createTopBar();
    searchOverlay_ = makeSearchOverlay(context_, linksFor([this] { setSearchPresented(false); }));
    searchOverlay_->setParent(rootPage_);
    rootPage_->installEventFilter(this);

    toasts_ = new NotificationToastOverlay(NotificationManager::shared(), this);
    sheets_->raise();
    connect(&SearchOverlayService::shared(), &SearchOverlayService::isPresentedChanged, this, [this](bool presented) {
        searchButton_->setActive(presented);
        Q_EMIT searchPresentedChanged(presented);
    });

    connect(context_, &BrowseContext::selectedWallpaperChanged, this, &AppRootView::syncWallpaperDestination);
    setSelectedTab(AppTab::Home);

    onboarding_ = new OnboardingScheduler(UserDefaults::standard(), OnboardingSheetState::shared(), this);
    appSheets_ = new AppSheetsHost(*sheets_, OnboardingSheetState::shared(), UserDefaults::standard(), AppStore::shared(),
        makeOnboardingSheet, [this] { setSelectedTab(AppTab::Explore); }, this);
    HomePageService& home = HomePageService::shared();
    connect(&home, &HomePageService::isShowingLoaderChanged, this, [this, &home] {
        if (!home.isShowingLoader())
            onboarding_->schedule();
    });
    connect(&DeepLinkWallpaperService::shared(), &DeepLinkWallpaperService::pendingWallpaperChanged, this,
        &AppRootView::takePendingWallpaper);
    connect(&GravelnookDeepLinkService::shared(), &GravelnookDeepLinkService::pendingIdChanged, this, [this] {
        if (GravelnookDeepLinkService::shared().pendingId())
            scheduleOnboardingUnlessLoading();
        takePendingGravelnookId();
    });
    gravelnookReopen_ = new QTimer(this);
    gravelnookReopen_->setSingleShot(true);
    gravelnookReopen_->setInterval(kLinkReopenDelayMs);
    connect(gravelnookReopen_, &QTimer::timeout, this, [this] {
        if (const std::optional<QString> id = std::exchange(reopenGravelnookId_, std::nullopt))
            setSelectedGravelnookId(id);
    });
    // What waited for the window before it was there.
    scheduleOnboardingUnlessLoading();
    takePendingWallpaper();
    takePendingGravelnookId();
}

void AppRootView::scheduleOnboardingUnlessLoading()
{
    if (!HomePageService::shared().isShowingLoader())
        onboarding_->schedule();
}

void AppRootView::takePendingWallpaper()
{
    DeepLinkWallpaperService& inbox = DeepLinkWallpaperService::shared();
    const std::optional<WallpaperModel> pending = inbox.pendingWallpaper();
    if (!pending)
        return;
    inbox.setPendingWallpaperNow(std::nullopt);
    // One already open (even this very one) leaves first, and this one comes in a moment later.
    context_->reopenWallpaper(*pending, kLinkReopenDelayMs);
}

void AppRootView::takePendingGravelnookId()
{
    GravelnookDeepLinkService& inbox = GravelnookDeepLinkService::shared();
    const std::optional<QString> pending = inbox.pendingId();
    if (!pending)
        return;
    inbox.setPendingIdNow(std::nullopt);
    if (!gravelnookId_) {
        setSelectedGravelnookId(pending);
        return;
    }
    // The open page leaves first; the newest link is the one that comes in.
    setSelectedGravelnookId(std::nullopt);
    reopenGravelnookId_ = pending;
    gravelnookReopen_->start();
}

AppRootView::~AppRootView()
{
    // Pages going down with the view must not change a selection that goes down too.
    for (QWidget* page : {wallpaperPage_.data(), gravelnookPage_.data()})
        if (page)
            page->disconnect(this);
}

QStackedWidget* AppRootView::createTabPages()
{
    auto* tabs = new QStackedWidget;
    for (AppTab tab : AppTabs::all()) {
        QWidget* page = makeTabPage(tab, context_, linksFor({}));
        tabs->addWidget(tab == AppTab::Explore ? page : inMainScrollView(page));
    }
    return tabs;
}

HeaderRow* AppRootView::createTopBar()
{
    searchButton_ = NavIconButton::search();
    uploadButton_ = NavIconButton::upload();
    settingsButton_ = NavIconButton::settings();
    // Search right of the tabs, upload and settings at the far right.
    auto* trailing = new QWidget;
    auto* buttons = new QHBoxLayout(trailing);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(HeaderRow::kSpacing);
    buttons->addWidget(new NavButtonBar({searchButton_}));
    buttons->addStretch();
    buttons->addWidget(new NavButtonBar({uploadButton_, settingsButton_}));

    auto* row = new HeaderRow(HomePageService::shared(), trailing, rootPage_);
    row->setObjectName(QStringLiteral("topBar"));
    tabBar_ = row->navigationBar();
    connect(tabBar_, &TopNavigationBar::selectedTabChanged, this, &AppRootView::setSelectedTab);
    connect(uploadButton_, &NavIconButton::clicked, this, [this] { setSelectedTab(AppTab::Upload); });
    connect(settingsButton_, &NavIconButton::clicked, this, [this] { setSelectedTab(AppTab::Settings); });
    connect(searchButton_, &NavIconButton::clicked, this, [this] { setSearchPresented(!isSearchPresented()); });
    return row;
}

PageLinks AppRootView::linksFor(std::function<void()> close)
{
    PageLinks links;
    links.openCategory = [this](const CategoryNavigationItem& item) { openCategory(item); };
    links.close = std::move(close);
    links.selectTab = [this](AppTab tab) { setSelectedTab(tab); };
    links.navigation = navigation_;
    links.sheets = sheets_;
    return links;
}

QWidget* AppRootView::tabPage(AppTab tab) const
{
    return tabs_->widget(int(AppTabs::all().indexOf(tab)));
}

void AppRootView::setSelectedTab(AppTab tab)
{
    const bool changed = tab != selectedTab_;
    selectedTab_ = tab;
    tabs_->setCurrentIndex(int(AppTabs::all().indexOf(tab)));
    tabBar_->setSelectedTab(tab);
    uploadButton_->setActive(tab == AppTab::Upload);
    settingsButton_->setActive(tab == AppTab::Settings);
    if (changed)
        Q_EMIT selectedTabChanged(tab);
}

bool AppRootView::isSearchPresented() const { return SearchOverlayService::shared().isPresented(); }

// The overlay follows the shared search state, which the button and the overlay itself change too.
void AppRootView::setSearchPresented(bool presented) { SearchOverlayService::shared().setPresented(presented); }

void AppRootView::openCategory(const CategoryNavigationItem& item)
{
    // The page's own close button pops it, whatever was pushed above it meanwhile.
    auto page = std::make_shared<QPointer<QWidget>>();
    *page = makeCategoryDestination(item, context_, linksFor([this, page] { navigation_->popThrough(*page); }));
    navigation_->push(*page);
}

void AppRootView::syncWallpaperDestination()
{
    if (QWidget* leaving = wallpaperPage_.data()) {
        wallpaperPage_ = nullptr;
        leaving->disconnect(this);
        navigation_->popThrough(leaving);
    }
    const std::optional<WallpaperModel> wallpaper = context_->selectedWallpaper();
    // Links weigh what the user opened here against what they ask to open.
    DeepLinkWallpaperService::shared().setShownWallpaper(wallpaper ? std::optional<qint64>(wallpaper->key) : std::nullopt);
    if (!wallpaper)
        return;
    wallpaperPage_ = makeWallpaperDestination(
        *wallpaper, context_, linksFor([this] { context_->setSelectedWallpaper(std::nullopt); }));
    // Leaving the page by any other way closes the selection as well.
    connect(wallpaperPage_, &QObject::destroyed, this, [this] { context_->setSelectedWallpaper(std::nullopt); });
    navigation_->push(wallpaperPage_);
}

void AppRootView::setSelectedGravelnookId(const std::optional<QString>& id)
{
    // Any choice made meanwhile replaces a link waiting to be reopened.
    gravelnookReopen_->stop();
    reopenGravelnookId_.reset();
    if (id == gravelnookId_)
        return;
    gravelnookId_ = id;
    syncGravelnookDestination();
}

void AppRootView::syncGravelnookDestination()
{
    if (QWidget* leaving = gravelnookPage_.data()) {
        gravelnookPage_ = nullptr;
        leaving->disconnect(this);
        navigation_->popThrough(leaving);
    }
    if (!gravelnookId_)
        return;
    gravelnookPage_ = makeGravelnookDestination(
        *gravelnookId_, context_, linksFor([this] { setSelectedGravelnookId(std::nullopt); }));
    connect(gravelnookPage_, &QObject::destroyed, this, [this] { setSelectedGravelnookId(std::nullopt); });
    navigation_->push(gravelnookPage_);
}

void AppRootView::layoutRootPage()
{
    const QRect area = rootPage_->rect();
    tabs_->setGeometry(area);
    searchOverlay_->setGeometry(area);
    topBar_->backdrop()->raise();
    topBar_->raise();
    searchOverlay_->raise();
}

bool AppRootView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == rootPage_ && event->type() == QEvent::Resize)
        layoutRootPage();
    return QWidget::eventFilter(watched, event);
}

void AppRootView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    TranslucentBackground::paint(painter, event->region());
}

void AppRootView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    navigation_->setGeometry(rect());
    context_->setWindowSize(size());
}
