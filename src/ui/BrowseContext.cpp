#include "ui/BrowseContext.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {
// Runs `change` and emits through `announce` when the value read by `read` moved.
template <typename Read, typename Change, typename Announce>
void changeAndAnnounce(Read read, Change change, Announce announce)
{
    const auto before = read();
    change();
    const auto after = read();
    if (!(before == after))
        announce(after);
}

bool sameSelection(const std::optional<WallpaperModel>& a, const std::optional<WallpaperModel>& b)
{
    return a.has_value() == b.has_value() && (!a || a->id == b->id);
}
} // namespace

BrowseContext::BrowseContext(QObject* parent) : QObject(parent), ownsSelection_(true) {}

BrowseContext::BrowseContext(BrowseContext* inherited, QObject* parent)
    : QObject(parent), inherited_(inherited), ownsSelection_(false)
{
    followInherited();
}

void BrowseContext::followInherited()
{
    if (!inherited_)
        return;
    connect(inherited_, &BrowseContext::selectedWallpaperChanged, this, [this] {
        if (!ownsSelection_)
            Q_EMIT selectedWallpaperChanged();
    });
    connect(inherited_, &BrowseContext::cardsShouldPauseChanged, this, [this](bool pause) {
        if (!cardsShouldPause_)
            Q_EMIT cardsShouldPauseChanged(pause);
    });
    connect(inherited_, &BrowseContext::windowSizeChanged, this, [this](QSize size) {
        if (!windowSize_)
            Q_EMIT windowSizeChanged(size);
    });
}

std::optional<WallpaperModel> BrowseContext::selectedWallpaper() const
{
    if (ownsSelection_)
        return selection_;
    return inherited_ ? inherited_->selectedWallpaper() : std::nullopt;
}

BrowseContext* BrowseContext::selectionOwner()
{
    BrowseContext* context = this;
    while (!context->ownsSelection_ && context->inherited_)
        context = context->inherited_;
    return context;
}

void BrowseContext::setSelectedWallpaper(const std::optional<WallpaperModel>& wallpaper)
{
    BrowseContext* owner = selectionOwner();
    // A child whose ancestors are gone keeps the selection itself rather than dropping it.
    owner->ownsSelection_ = true;
    const bool changed = !sameSelection(owner->selection_, wallpaper);
    // Any newer choice replaces one that waits to be opened.
    if (owner->reselect_)
        owner->reselect_->stop();
    owner->pendingSelection_.reset();
    owner->selection_ = wallpaper;
    if (changed)
        Q_EMIT owner->selectedWallpaperChanged();
}

bool BrowseContext::isSameWallpaper(const WallpaperModel& a, const WallpaperModel& b)
{
    if (a.key && b.key)
        return *a.key == *b.key;
    return a.id == b.id;
}

void BrowseContext::openWallpaper(const WallpaperModel& wallpaper)
{
    const std::optional<WallpaperModel> open = selectedWallpaper();
    if (open && isSameWallpaper(*open, wallpaper))
        return;
    reopenWallpaper(wallpaper, kReselectDelayMs);
}

void BrowseContext::reopenWallpaper(const WallpaperModel& wallpaper, int delayMs)
{
    BrowseContext* owner = selectionOwner();
    if (!selectedWallpaper()) {
        setSelectedWallpaper(wallpaper);
        return;
    }
    // Closing first lets the full-screen view leave before the next one comes in.
    setSelectedWallpaper(std::nullopt);
    if (!owner->reselect_) {
        owner->reselect_ = new QTimer(owner);
        owner->reselect_->setSingleShot(true);
        connect(owner->reselect_, &QTimer::timeout, owner, [owner] {
            if (const auto pending = owner->pendingSelection_)
                owner->setSelectedWallpaper(pending);
        });
    }
    owner->pendingSelection_ = wallpaper;
    owner->reselect_->start(delayMs);
}

void BrowseContext::keepOwnSelection()
{
    if (ownsSelection_)
        return;
    const bool hadOne = selectedWallpaper().has_value();
    ownsSelection_ = true;
    selection_.reset();
    if (hadOne)
        Q_EMIT selectedWallpaperChanged();
}

bool BrowseContext::cardsShouldPause() const
{
    if (cardsShouldPause_)
        return *cardsShouldPause_;
    return inherited_ && inherited_->cardsShouldPause();
}

void BrowseContext::setCardsShouldPause(bool pause)
{
    changeAndAnnounce([this] { return cardsShouldPause(); }, [&] { cardsShouldPause_ = pause; },
        [this](bool now) { Q_EMIT cardsShouldPauseChanged(now); });
}

QSize BrowseContext::windowSize() const
{
    if (windowSize_)
        return *windowSize_;
    return inherited_ ? inherited_->windowSize() : QSize(0, 0);
}

void BrowseContext::setWindowSize(QSize size)
{
    changeAndAnnounce([this] { return windowSize(); }, [&] { windowSize_ = size; },
        [this](QSize now) { Q_EMIT windowSizeChanged(now); });
}

QSize BrowseContext::windowSizeOrFallback() const
{
    const QSize size = windowSize();
    if (!size.isEmpty())
        return size;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return fallbackWindowSize(screen ? screen->availableGeometry() : QRect());
}

QSize BrowseContext::fallbackWindowSize(QRect available)
{
    if (available.height() <= 0)
        return QSize(1600, 1000);
    const double height = std::min(available.height() * 0.8, 1000.0);
    const double width = std::min(height * 1.6, 1600.0);
    return QSize(int(std::lround(width)), int(std::lround(height)));
}
