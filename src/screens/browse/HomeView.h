#pragma once

#include "model/WallpaperModel.h"
#include "screens/PageLinks.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class APIService;
class AppStore;
class BrowseContext;
class CategoriesSection;
class FooterView;
class HeroThumbnailRow;
class HomeCarouselSection;
class HomeHeroCarousel;
class HomePageService;
class LoadingScreenView;
class QSpacerItem;
class QVBoxLayout;
struct WallpaperResponseItem;

// The Home tab. While the catalogue state arrives it shows the start-up screen with a message
// that follows the first load, then a short ready moment (once per run) with the feed built
// beneath the screen, then the feed: the hero carousel with its thumbnail row, one card row per
// home section, the ranked "Most Popular Wallpapers" row, the categories and the footer. It
// loads the categories and the first page of the most downloaded list itself, and the feed again
// when the first load did not bring it; a failed load is tried again after 3 s, then twice as
// long each time up to a minute, and after three failures in a row the start-up screen offers
// Retry. Categories and the popular row's title open category pages. GUI thread.
class HomeView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 3000;
    static constexpr int kRetryMaxMs = 60000;
    struct Services {
        AppStore& appStore;
        HomePageService& homePage;
        APIService& api;
        int retryMs = kRetryMs; // the first wait after a failed load
        static Services shared();
    };
    static constexpr int kFailuresBeforeRetryButton = 3;
    static constexpr int kReadyMomentMs = 500;
    static constexpr int kMinimumHeight = 650;

    // `checkForUpdates` runs once the page is ready to show, when given.
    HomeView(BrowseContext* context, PageLinks links, std::function<void()> checkForUpdates, QWidget* parent = nullptr);
    HomeView(BrowseContext* context, PageLinks links, std::function<void()> checkForUpdates, const Services& services,
        QWidget* parent = nullptr);
    ~HomeView() override;

    // The gap between the page's blocks for a screen's usable area: 0.065 of the default window
    // height, at most 60 (60 without a screen).
    static qreal sectionSpacingFor(QRect available);
    // The message of the start-up screen for the state so far.
    QString loadingMessage() const;
    bool isReadyToShow() const;
    // The delay before the next try after `failures` failed loads in a row: `first`, doubling
    // each time, at most kRetryMaxMs.
    static int retryDelayMs(int failures, int first = kRetryMs);

    LoadingScreenView* loadingScreen() const { return loading_; }
    HomeHeroCarousel* hero() const { return hero_; }
    HeroThumbnailRow* thumbnails() const { return thumbnails_; }
    QList<HomeCarouselSection*> rows() const;
    CategoriesSection* categories() const { return categories_; }
    int loadFailures() const { return loadFailures_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createFeed();
    void followLoader();
    void completeFeed();
    void attachStretch();
    void followWindowSize();
    // The hero keeps its text and buttons above the thumbnail row laid over its foot.
    void followThumbnailRow();
    void startLoad();
    static QCoro::Task<> loadInitialData(QPointer<HomeView> self);
    static QCoro::Task<> loadPopularSection(QPointer<HomeView> self);
    void checkReadyState();
    // `unreadableReply`: the failure was a reply that could not be read, not a lost connection.
    void scheduleRetry(bool unreadableReply);
    void retry();
    void markDirty(bool hero, bool rows);
    void rebuild();
    QList<WallpaperModel> models(const QList<WallpaperResponseItem>& items) const;
    void openPopularList();

    QPointer<BrowseContext> context_;
    PageLinks links_;
    std::function<void()> checkForUpdates_;
    Services services_;
    const qreal sectionSpacing_;
    LoadingScreenView* loading_;
    QWidget* feed_ = nullptr;
    HomeHeroCarousel* hero_ = nullptr;
    QSpacerItem* heroSpace_ = nullptr;
    HeroThumbnailRow* thumbnails_ = nullptr;
    QVBoxLayout* rowsColumn_ = nullptr;
    QList<QPointer<HomeCarouselSection>> rows_;
    QWidget* categoriesBlock_ = nullptr;
    CategoriesSection* categories_ = nullptr;
    FooterView* footer_ = nullptr;
    bool showReadyMessage_ = false;
    bool stretchAttached_ = false;
    bool loadRunning_ = false;
    int loadFailures_ = 0;
    QTimer retryTimer_;
    QTimer rebuild_;
    bool heroDirty_ = true;
    bool rowsDirty_ = true;
    bool updateCheckStarted_ = false;
};
