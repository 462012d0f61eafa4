#pragma once

#include "ui/AppTab.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class AppSheetsHost;
class BrowseContext;
class OnboardingScheduler;
class HeaderRow;
class NavIconButton;
class NavigationHost;
class NotificationToastOverlay;
class QStackedWidget;
class QTimer;
class SheetHost;
class TopNavigationBar;
struct CategoryNavigationItem;
struct PageLinks;

// The whole content of the main window: the tab pages under the top bar (logo, tabs, search,
// upload and settings buttons), the search overlay over them, and one navigation stack whose
// pushed pages (a category, a wallpaper full screen) cover all of that. The toast overlay and the
// sheets lie above everything. Owns the browse context every page gets: selecting a wallpaper in
// it pushes the full-screen page, clearing it leaves that page. It takes wallpapers and partner
// ids handed in by links, offers the onboarding sheet a second after the home page's loader
// ends, and reports a failed apply of the bundled wallpaper in an alert. GUI thread; a new main
// window builds a new root view, so the tab starts at Home and nothing is open.
class AppRootView : public QWidget {
    Q_OBJECT

public:
    explicit AppRootView(QWidget* parent = nullptr);
    ~AppRootView() override;

    AppTab selectedTab() const { return selectedTab_; }
    void setSelectedTab(AppTab tab);

    BrowseContext* context() const { return context_; }
    NavigationHost* navigationHost() const { return navigation_; }
    SheetHost* sheetHost() const { return sheets_; }
    HeaderRow* topBar() const { return topBar_; }
    TopNavigationBar* tabBar() const { return tabBar_; }
    // The page shown for `tab` while nothing is pushed (a scroll area around it for scrolling tabs).
    // Every tab but Home makes its content the first time it shows.
    QWidget* tabPage(AppTab tab) const;
    // The page pushed for the selected wallpaper, if one is open.
    QWidget* wallpaperDestination() const { return wallpaperPage_; }

    bool isSearchPresented() const;
    void setSearchPresented(bool presented);
    QWidget* searchOverlay() const { return searchOverlay_; }

    // Pushes the category page for `item`.
    void openCategory(const CategoryNavigationItem& item);
    OnboardingScheduler* onboarding() const { return onboarding_; }

    // A link arriving while a wallpaper (or partner wallpaper) is open closes it; the link's own
    // opens this long after, unless a newer link or choice came meanwhile.
    static constexpr int kLinkReopenDelayMs = 100;

    // Opens the partner-site wallpaper `id` full screen; none closes it.
    void setSelectedGravelnookId(const std::optional<QString>& id);
    std::optional<QString> selectedGravelnookId() const { return gravelnookId_; }

Q_SIGNALS:
    void selectedTabChanged(AppTab tab);
    void searchPresentedChanged(bool presented);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HeaderRow* createTopBar();
    QStackedWidget* createTabPages();
    PageLinks linksFor(std::function<void()> close);
    void syncWallpaperDestination();
    void syncGravelnookDestination();
    // Pops `page` and whatever was pushed above it.
    void popThrough(QWidget* page);
    void layoutRootPage();
    void takePendingWallpaper();
    void takePendingGravelnookId();
    void scheduleOnboardingUnlessLoading();

    AppTab selectedTab_ = AppTab::Home;
    BrowseContext* context_;
    QWidget* rootPage_;
    NavigationHost* navigation_;
    QStackedWidget* tabs_ = nullptr;
    HeaderRow* topBar_ = nullptr;
    TopNavigationBar* tabBar_ = nullptr;
    NavIconButton* searchButton_ = nullptr;
    NavIconButton* uploadButton_ = nullptr;
    NavIconButton* settingsButton_ = nullptr;
    QWidget* searchOverlay_ = nullptr;
    NotificationToastOverlay* toasts_ = nullptr;
    SheetHost* sheets_ = nullptr;
    QPointer<QWidget> wallpaperPage_;
    std::optional<QString> gravelnookId_;
    QPointer<QWidget> gravelnookPage_;
    QTimer* gravelnookReopen_ = nullptr;
    std::optional<QString> reopenGravelnookId_;
    OnboardingScheduler* onboarding_ = nullptr;
    AppSheetsHost* appSheets_ = nullptr;
};
