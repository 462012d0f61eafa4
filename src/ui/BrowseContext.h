#pragma once

#include "model/WallpaperModel.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <optional>

// What a browse view shares with the views below it: the wallpaper open in the full-screen view,
// whether cards should pause their previews, and the main window's size. The view that owns a
// subtree owns its context and passes it down by hand; a page that changes a value for its own
// subtree makes a child context, which reads through to its parent for every value it does not
// set itself. GUI thread only. Signals fire only when the value seen through this context changes.
class BrowseContext : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool cardsShouldPause READ cardsShouldPause WRITE setCardsShouldPause NOTIFY cardsShouldPauseChanged)
    Q_PROPERTY(QSize windowSize READ windowSize WRITE setWindowSize NOTIFY windowSizeChanged)

public:
    // A root context: no wallpaper selected, cards running, no window size yet.
    explicit BrowseContext(QObject* parent = nullptr);
    // A child of `inherited` (which may go away first: the child then reads the defaults).
    BrowseContext(BrowseContext* inherited, QObject* parent);

    // The selection is a binding: setting it on a context that keeps no selection of its own sets
    // it on the nearest ancestor that does (the root always does), so a card anywhere below opens
    // the wallpaper in the view that owns that selection.
    std::optional<WallpaperModel> selectedWallpaper() const;
    void setSelectedWallpaper(const std::optional<WallpaperModel>& wallpaper);
    // From now on this context and its children select on their own; starts with none selected.
    void keepOwnSelection();
    // What clicking a card does: the wallpaper already open stays; another one open is closed
    // first and this one opened kReselectDelayMs later, unless the selection changes meanwhile
    // (a later click, the view closed), so the last choice always wins.
    void openWallpaper(const WallpaperModel& wallpaper);
    static constexpr int kReselectDelayMs = 120;
    // The same for a wallpaper handed in from outside (a link): whatever is open, this one
    // included, is closed first and `wallpaper` opened `delayMs` later, the newest call winning.
    void reopenWallpaper(const WallpaperModel& wallpaper, int delayMs);
    // One wallpaper when both keys are present and equal, or by id when either key is absent.
    static bool isSameWallpaper(const WallpaperModel& a, const WallpaperModel& b);

    bool cardsShouldPause() const;
    // Sets the value for this context and every child that does not set its own.
    void setCardsShouldPause(bool pause);

    // Zero until the main window has a size.
    QSize windowSize() const;
    void setWindowSize(QSize size);
    // windowSize(), or while it is empty a size made from the screen's available area: height
    // 0.8 × its height (at most 1000), width 1.6 × that height (at most 1600).
    QSize windowSizeOrFallback() const;
    // The same fallback for an available area; 1600 × 1000 without one.
    static QSize fallbackWindowSize(QRect available);

Q_SIGNALS:
    void selectedWallpaperChanged();
    void cardsShouldPauseChanged(bool pause);
    void windowSizeChanged(QSize size);

private:
    BrowseContext* selectionOwner();
    void followInherited();

    QPointer<BrowseContext> inherited_;
    bool ownsSelection_;
    std::optional<WallpaperModel> selection_;
    QTimer* reselect_ = nullptr;
    std::optional<WallpaperModel> pendingSelection_;
    std::optional<bool> cardsShouldPause_;
    std::optional<QSize> windowSize_;
};
