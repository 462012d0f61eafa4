#pragma once

#include "model/WallpaperModel.h"
#include "screens/detail/FullScreenApplier.h"
#include "ui/AppearanceAware.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class BrowseContext;
class CommunityUploadForm;
class FootBarIconButton;
class FullScreenFootBar;
class FullScreenHero;
class NavigationHost;
class PreviewSourceChain;
class QScrollArea;
class RelatedWallpapersSection;

// The full-screen page of one wallpaper, pushed on a tab's navigation host: the picture with its
// best available looping preview, the report button, the foot bar, and below, in the same
// scroll, the similar wallpapers. A similar wallpaper opens in a page of its own pushed on top
// (its back returns here). The page closes on Escape (unless a popup, a sheet or a dialog has
// it, or its window is not the active one) and by the foot bar's back button: it clears the
// selection of the context that opened it, whose owner pops it. The toasts of its applies show
// in the window's toast overlay, which keeps them off the foot bar and the report button. GUI
// thread.
class FullScreenView : public QWidget, public AppearanceAware {
    Q_OBJECT

public:
    using Options = FullScreenApplier::Options;

    // `opener` is the context whose selection opened the page; its subtree gets a context of
    // its own, in which a card opens a nested page.
    FullScreenView(const WallpaperModel& wallpaper, BrowseContext* opener, Options options, QWidget* parent = nullptr);
    ~FullScreenView() override;

    // Own videos are those of the "Custom" category or whose master video is a local file.
    static bool isCustomRecord(const WallpaperModel& wallpaper);

    const WallpaperModel& wallpaper() const { return applier_->wallpaper(); }
    FullScreenApplier* applier() const { return applier_; }
    PreviewSourceChain* preview() const { return preview_; }
    FullScreenHero* hero() const { return hero_; }
    // Null for an own video without a key.
    FullScreenFootBar* footBar() const { return footBar_; }
    // The upload card over a video the user picked to share; none otherwise.
    CommunityUploadForm* uploadForm() const { return uploadForm_; }
    // Null for own videos and records without a key.
    FootBarIconButton* reportButton() const { return report_; }
    RelatedWallpapersSection* related() const { return related_; }
    QScrollArea* scrollArea() const { return scroll_; }
    BrowseContext* context() const { return local_; }
    // The page of a similar wallpaper opened from here, while it is open.
    FullScreenView* nestedPage() const { return nested_; }

    void dismiss();

    void appeared() override;
    void disappeared() override;

Q_SIGNALS:
    // The report button: the window's sheet host shows the report sheet for the wallpaper.
    void reportRequested(const WallpaperModel& wallpaper);
    void dismissRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildOverlay();
    void layoutContent();
    void checkRelatedOnScreen();
    void checkPreview(const QUrl& url, std::function<void(bool)> done);
    void finishCheck(bool playable);
    void followPreview();
    void followApplier();
    void followSelection();
    bool escapeBelongsToPage() const;
    NavigationHost* navigationHost() const;

    QPointer<BrowseContext> opener_;
    BrowseContext* local_;
    FullScreenApplier* applier_;
    PreviewSourceChain* preview_;
    QScrollArea* scroll_;
    QWidget* content_;
    FullScreenHero* hero_;
    FullScreenFootBar* footBar_ = nullptr;
    CommunityUploadForm* uploadForm_ = nullptr;
    FootBarIconButton* report_ = nullptr;
    RelatedWallpapersSection* related_;
    std::function<void(bool)> pendingCheck_;
    QPointer<FullScreenView> nested_;
};
