#pragma once

#include "model/WallpaperModel.h"
#include "state/ExplorePageSection.h"

#include <QCoro/QCoroTask>

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class APIService;
struct CategoryNavigationItem;
class AppStore;
class BrowseContext;
class CustomBackgroundImageLoader;
class CustomWallpapersService;
class DragDropArea;
class ExplorePageService;
class ExploreWallpapersService;
class HomeGridSection;
class Http;
class LazyGridView;
class MediaTools;
class PendingUploadService;
class QScrollArea;
class QVBoxLayout;
class LabelButton;
class UploadStatuses;
class WallpaperImageCache;

// The page of the "Upload" tab: a drop zone that takes videos for the community (checked against
// the catalogue's limits, then handed to the upload form of the full-screen view), "Personal Use +"
// that copies a video into the own wallpapers, the own wallpapers under "My uploads" with the
// review status of each upload, "Clear all", and the newest community uploads. Every failure is
// told in one alert. GUI thread; built by the root view for its tab.
class CustomView : public QWidget {
    Q_OBJECT

public:
    struct Services {
        AppStore& appStore;
        CustomWallpapersService& ownWallpapers;
        ExplorePageService& explorePage;
        ExploreWallpapersService& exploreLists;
        PendingUploadService& pending;
        APIService& api;
        Http& http;
        WallpaperImageCache& images;
        const MediaTools& media;
        std::function<QString()> deviceUUID;

        static Services shared();
    };
    // Shows the open panel with this message and calls back with the picked file, or not at all.
    using FilePicker = std::function<void(QWidget* parent, const QString& message, std::function<void(QString)> onPick)>;

    explicit CustomView(BrowseContext* context, QWidget* parent = nullptr);
    CustomView(BrowseContext* context, Services services, QWidget* parent = nullptr);
    ~CustomView() override;

    // The vertical space between the page's blocks for a screen of this usable height.
    static double sectionSpacing(std::optional<int> usableHeight);
    // List pages open through this (the root view knows them).
    void setCategoryOpener(std::function<void(const CategoryNavigationItem&)> open) { openCategory_ = std::move(open); }
    // Tests replace the open panel.
    void setFilePicker(FilePicker picker) { picker_ = std::move(picker); }

    // What the page does each time it comes on screen.
    void appeared();

    // What the controls do.
    void handleDroppedFiles(const QStringList& paths);
    void openCommunityUploadPanel();
    void openPersonalUsePanel();
    void addPersonalUseWallpaper(const QString& path);
    void confirmClearAll();
    void clearAllUploads();
    void openRecentCommunityUploads();

    UploadStatuses& statuses() const { return *statuses_; }
    CustomBackgroundImageLoader& background() const { return *background_; }
    LabelButton* personalUseButton() const { return personalUse_; }
    LabelButton* clearAllButton() const { return clearAll_; }
    LazyGridView* ownGrid() const { return ownGrid_; }
    bool isEmptyStateShown() const;
    bool isLatestSectionShown() const;
    // The number of intakes and imports still running.
    int pendingWork() const { return pendingWork_; }

Q_SIGNALS:
    // An intake or an import finished (for tests and the alert).
    void workFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createShareBlock();
    QWidget* createOwnBlock();
    QWidget* createLatestBlock();
    void showOwnWallpapers();
    void showLatestSection();
    void followOwnCount();
    void fetchStatuses();
    void showAlert(const QString& title, const QString& message);
    std::optional<ExplorePageSection> latestSection() const;
    // Counts the task until it ends.
    void runWork(QCoro::Task<> work);
    static QCoro::Task<> loadExplorePage(ExplorePageService* explore);
    static QCoro::Task<> examineDrop(QPointer<CustomView> self, QString path, const MediaTools* media);
    static QCoro::Task<> importVideo(QPointer<CustomView> self, QString path, CustomWallpapersService* store,
        const MediaTools* media);

    QPointer<BrowseContext> context_;
    Services services_;
    FilePicker picker_;
    std::function<void(const CategoryNavigationItem&)> openCategory_;
    UploadStatuses* statuses_;
    CustomBackgroundImageLoader* background_;
    QScrollArea* scroll_;
    QVBoxLayout* column_;
    DragDropArea* dropZone_ = nullptr;
    LabelButton* personalUse_ = nullptr;
    LabelButton* clearAll_ = nullptr;
    QWidget* emptyState_ = nullptr;
    LazyGridView* ownGrid_ = nullptr;
    QWidget* latestBlock_ = nullptr;
    QPointer<HomeGridSection> latest_;
    int latestRows_ = 0;
    QList<WallpaperModel> shownOwn_;
    qsizetype ownCount_ = 0;
    int pendingWork_ = 0;
};
