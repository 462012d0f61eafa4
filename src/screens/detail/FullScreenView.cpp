#include "screens/detail/FullScreenView.h"

#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenHero.h"
#include "screens/detail/PreviewSourceChain.h"
#include "screens/detail/RelatedWallpapersSection.h"
#include "screens/own/CommunityUploadForm.h"
#include "state/AppStore.h"
#include "ui/BrowseContext.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/LoopingVideo.h"
#include "ui/NavigationHost.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/OverscrollStretch.h"
#include "ui/SheetHost.h"
#include "ui/Theme.h"

#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kFootBarBottom = 40;
constexpr int kFootBarSideMargin = 24;
constexpr int kReportPadding = 18;
} // namespace

FullScreenView::FullScreenView(const WallpaperModel& wallpaper, BrowseContext* opener, Options options, QWidget* parent)
    : QWidget(parent), opener_(opener), local_(new BrowseContext(opener, this)),
      applier_(new FullScreenApplier(wallpaper, options, this)),
      preview_(new PreviewSourceChain(wallpaper, options.isCustom,
          [this](const QUrl& url, std::function<void(bool)> done) { checkPreview(url, std::move(done)); }, this)),
      scroll_(new QScrollArea(this)), content_(new QWidget), hero_(new FullScreenHero(wallpaper.posterUrl, content_)),
      related_(new RelatedWallpapersSection(wallpaper.key, local_, content_))
{
    local_->keepOwnSelection();
    setAutoFillBackground(true);
    setPalette(Theme::palette());
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(content_);
    connect(new OverscrollStretch(scroll_), &OverscrollStretch::pullChanged, hero_, &FullScreenHero::setPull);
    buildOverlay();

    connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, &FullScreenView::checkRelatedOnScreen);
    connect(related_, &RelatedWallpapersSection::contentChanged, this, &FullScreenView::layoutContent);
    connect(hero_->video(), &LoopingVideo::readyChanged, this, [this](bool ready) {
        if (ready)
            finishCheck(true);
    });
    connect(hero_->video(), &LoopingVideo::failed, this, [this] { finishCheck(false); });
    connect(preview_, &PreviewSourceChain::stateChanged, this, &FullScreenView::followPreview);
    connect(applier_, &FullScreenApplier::stateChanged, this, &FullScreenView::followApplier);
    connect(local_, &BrowseContext::selectedWallpaperChanged, this, &FullScreenView::followSelection);
    connect(&AppStore::shared(), &AppStore::baseUrlChanged, preview_, &PreviewSourceChain::handleBaseUrlChange);

    applier_->refreshAppliedState();
    preview_->loadVideo();
}

FullScreenView::~FullScreenView()
{
    EscapeKeyFilter::shared().remove(this);
}

bool FullScreenView::isCustomRecord(const WallpaperModel& wallpaper)
{
    return wallpaper.category == QLatin1String("Custom") || (wallpaper.masterUrl && wallpaper.masterUrl->isLocalFile());
}

void FullScreenView::buildOverlay()
{
    const WallpaperModel& record = wallpaper();
    if (!applier_->options().isCustom && record.key) {
        report_ = new FootBarIconButton(QStringLiteral("flag"), FootBarIconButton::Look::report(), hero_);
        connect(report_, &FootBarIconButton::clicked, this, [this] { Q_EMIT reportRequested(wallpaper()); });
        NotificationToastOverlay::keepClearOf(report_);
    }
    // An own video handed over for the community gets the upload form in place of the foot bar.
    if (CommunityUploadForm::isUploadCandidate(record)) {
        uploadForm_ = new CommunityUploadForm(record, hero_);
        connect(uploadForm_, &CommunityUploadForm::closeRequested, this, &FullScreenView::dismiss);
        // Its bottom stays where it was as it grows or shrinks.
        connect(uploadForm_, &CommunityUploadForm::sizeHintChanged, this, &FullScreenView::layoutContent);
        NotificationToastOverlay::keepClearOf(uploadForm_);
        return;
    }
    if (applier_->options().isCustom && !record.key)
        return;
    const bool lockScreenOnly = applier_->isLockScreenOnly();
    footBar_ = new FullScreenFootBar(record, FootBarApplyControl::Actions{.applyToAll = !lockScreenOnly, .lockScreenOnly = lockScreenOnly},
        hero_);
    connect(footBar_, &FullScreenFootBar::backRequested, this, &FullScreenView::dismiss);
    connect(footBar_, &FullScreenFootBar::rightButtonTapped, applier_, &FullScreenApplier::applyFromFullScreen);
    connect(footBar_, &FullScreenFootBar::applyToAllRequested, applier_,
        [this](WallpaperFullscreenApplyTarget target) { applier_->applyToTarget(std::nullopt, target); });
    connect(footBar_, &FullScreenFootBar::lockScreenOnlyRequested, applier_, &FullScreenApplier::applyToLockScreenOnly);
    // The toasts of its own applies must not cover the button that applies or removes.
    NotificationToastOverlay::keepClearOf(footBar_);
    followApplier();
}

void FullScreenView::resizeEvent(QResizeEvent*)
{
    scroll_->setGeometry(rect());
    layoutContent();
}

void FullScreenView::layoutContent()
{
    const QSize window = size();
    const int relatedHeight = related_->isHidden() ? 0 : related_->heightForWidth(window.width());
    content_->resize(window.width(), window.height() + relatedHeight);
    hero_->setGeometry(0, 0, window.width(), window.height());
    related_->setGeometry(0, window.height(), window.width(), relatedHeight);
    if (report_)
        report_->move(window.width() - kReportPadding - report_->width(), kReportPadding);
    int covered = 0;
    for (QWidget* bar : {static_cast<QWidget*>(footBar_), static_cast<QWidget*>(uploadForm_)}) {
        if (!bar)
            continue;
        const int width = std::min(bar->sizeHint().width(), window.width() - 2 * kFootBarSideMargin);
        const int height = bar->sizeHint().height();
        bar->setGeometry((window.width() - width) / 2, window.height() - kFootBarBottom - height, width, height);
        covered = std::max(covered, window.height() - bar->y());
    }
    hero_->setCoveredBottom(covered);
    checkRelatedOnScreen();
}

void FullScreenView::checkRelatedOnScreen()
{
    if (related_->isHidden() || related_->isFetchStarted() || !isVisible())
        return;
    const int viewportBottom = scroll_->verticalScrollBar()->value() + scroll_->viewport()->height();
    if (related_->y() < viewportBottom)
        related_->startFetchIfNeeded();
}

void FullScreenView::checkPreview(const QUrl& url, std::function<void(bool)> done)
{
    LoopingVideo* video = hero_->video();
    if (video->url() == url && video->isReady()) {
        done(true);
        return;
    }
    pendingCheck_ = std::move(done);
    video->setUrl(url);
    video->setPlaying(true);
}

void FullScreenView::finishCheck(bool playable)
{
    if (std::function<void(bool)> done = std::exchange(pendingCheck_, nullptr))
        done(playable);
}

void FullScreenView::followPreview()
{
    hero_->setLoading(preview_->isLoading());
    hero_->setVideoReady(preview_->isVideoReady());
}

void FullScreenView::followApplier()
{
    if (!footBar_)
        return;
    footBar_->setApplying(applier_->isApplyingWallpaper() ? std::optional(applier_->applyStage()) : std::nullopt);
    footBar_->setWallpaperApplied(applier_->isWallpaperApplied());
    layoutContent();
}

void FullScreenView::followSelection()
{
    NavigationHost* host = navigationHost();
    const std::optional<WallpaperModel> selected = local_->selectedWallpaper();
    if (!selected) {
        if (host && nested_ && host->currentPage() == nested_)
            host->pop();
        return;
    }
    if (!host || (nested_ && BrowseContext::isSameWallpaper(nested_->wallpaper(), *selected)))
        return;
    nested_ = new FullScreenView(*selected, local_, Options{.isCustom = isCustomRecord(*selected)});
    connect(nested_, &FullScreenView::reportRequested, this, &FullScreenView::reportRequested);
    host->push(nested_);
}

NavigationHost* FullScreenView::navigationHost() const
{
    for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget()) {
        if (auto* host = qobject_cast<NavigationHost*>(widget))
            return host;
    }
    return nullptr;
}

void FullScreenView::dismiss()
{
    if (opener_)
        opener_->setSelectedWallpaper(std::nullopt);
    Q_EMIT dismissRequested();
}

bool FullScreenView::escapeBelongsToPage() const
{
    if (!window()->isActiveWindow())
        return false;
    return !SheetHost::isSheetOpenIn(window());
}

void FullScreenView::appeared()
{
    applier_->refreshAppliedState();
    EscapeKeyFilter::shared().add(this, [this] {
        if (escapeBelongsToPage())
            dismiss();
    });
    layoutContent();
}

void FullScreenView::disappeared()
{
    EscapeKeyFilter::shared().remove(this);
}
