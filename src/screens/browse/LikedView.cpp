#include "screens/browse/LikedView.h"

#include "foundation/Async.h"
#include "foundation/ListStep.h"
#include "library/CreatePlaylistPopupService.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "screens/PageLinks.h"
#include "screens/browse/SectionTitleComponent.h"
#include "screens/library/AddWallpapersToPlaylistSheet.h"
#include "screens/library/CreatePlaylistCardView.h"
#include "screens/library/CreatePlaylistSheet.h"
#include "screens/library/PlaylistArtwork.h"
#include "screens/library/PlaylistCardView.h"
#include "screens/library/SavedWallpapersLoadingView.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "ui/BrowseContext.h"
#include "ui/ConfirmationAlert.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/MainWrapper.h"
#include "ui/PosterCardView.h"
#include "ui/SheetHost.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// The cells of the playlist grid are 37 : 21; the card inside keeps 16 : 9.
constexpr double kPlaylistCellAspect = 21.0 / 37.0;

LabelButton::Look clearAllLook()
{
    LabelButton::Look look;
    look.font = Theme::systemFont(14, QFont::Medium);
    look.textColor = Theme::withOpacity(Qt::white, 0.8);
    look.fill = look.hoverFill = Theme::withOpacity(Qt::white, 0.1);
    look.cornerRadius = 8;
    look.horizontalPadding = 16;
    look.verticalPadding = 8;
    return look;
}

QWidget* emptyState(QWidget* parent)
{
    auto* state = new QWidget(parent);
    auto* column = new QVBoxLayout(state);
    column->setContentsMargins(0, 60, 0, 60);
    column->setSpacing(16);
    auto* heart = new QLabel(state);
    heart->setPixmap(QPixmap::fromImage(Symbols::image(QStringLiteral("heart"), Theme::withOpacity(Qt::white, 0.3),
        Symbols::sizeForFont(48), state->devicePixelRatioF())));
    column->addWidget(heart, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QCoreApplication::translate("LikedView", "No saved wallpapers yet"), state);
    title->setFont(Theme::font(Theme::TextStyle::Title3));
    title->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6);"));
    column->addWidget(title, 0, Qt::AlignHCenter);
    auto* hint = new QLabel(
        QCoreApplication::translate("LikedView", "Save wallpapers from the home or explore sections to see them here"), state);
    hint->setFont(Theme::font(Theme::TextStyle::Subheadline));
    hint->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.4);"));
    hint->setAlignment(Qt::AlignHCenter);
    hint->setWordWrap(true);
    column->addWidget(hint);
    return state;
}

} // namespace

LikedView::LikedView(BrowseContext* context, const PageLinks& links, QWidget* parent)
    : QWidget(parent), context_(context), sheets_(links.sheets), appStore_(AppStore::shared()),
      liked_(LikedWallpapersService::shared()), custom_(CustomWallpapersService::shared()),
      playlists_(WallpaperPlaylistService::shared()), explore_(ExplorePageService::shared()),
      popup_(CreatePlaylistPopupService::shared()),
      clearAll_(new LabelButton(tr("Clear all"), clearAllLook())), playlistGrid_(new LazyGridView),
      savedTitle_(new SectionTitleComponent(tr("Saved Wallpapers"), {}, false)), saved_(new QStackedWidget),
      savedGrid_(new LazyGridView)
{
    auto* column = new QWidget;
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 30, 0, 0);
    stack->setSpacing(40);

    auto* playlistsSection = new QVBoxLayout;
    playlistsSection->setSpacing(30);
    playlistsSection->addWidget(new SectionTitleComponent(tr("Wallpaper Playlists"),
        tr("Create playlists and auto-rotate your favorite wallpapers"), false, clearAll_));
    playlistGrid_->setColumns(3);
    playlistGrid_->setCellAspectRatio(kPlaylistCellAspect);
    playlistGrid_->setSpacing(kPlaylistSpacing, kPlaylistSpacing);
    playlistGrid_->setCellFactory([this](int index) { return makePlaylistCell(index); });
    playlistsSection->addWidget(playlistGrid_);
    stack->addLayout(playlistsSection);

    stack->addWidget(savedTitle_);
    savedGrid_->setColumns(3);
    savedGrid_->setSpacing(kSavedSpacing, kSavedSpacing);
    savedGrid_->setCellFactory([this](int index) { return makeSavedCell(index); });
    savedGrid_->setCellUpdater([this](QWidget* cell, int index) { PosterCardView::refresh(cell, savedAt(index)); });
    saved_->addWidget(savedGrid_);
    saved_->addWidget(emptyState(column));
    saved_->addWidget(new SavedWallpapersLoadingView(column));
    stack->addWidget(saved_);
    stack->addStretch();

    // The root view scrolls the page in its main scroll view.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new MainWrapper(column, 50, 120, MainWrapperStyle::Standard));

    connect(clearAll_, &PressableWidget::clicked, this, &LikedView::confirmClearAll);
    connect(&playlists_, &WallpaperPlaylistService::playlistsChanged, this, &LikedView::refreshPlaylists);
    // A like or unlike changes the order and the records together and announces both: the long
    // key list is rebuilt once, for the order; the records alone reach the few live cards.
    const auto refreshAll = [this] {
        refreshSaved();
        refreshPlaylists();
    };
    connect(&liked_, &LikedWallpapersService::likedOrderChanged, this, refreshAll);
    connect(&liked_, &LikedWallpapersService::isLoadingChanged, this, refreshAll);
    connect(&liked_, &LikedWallpapersService::likedWallpapersChanged, this, [this] {
        refreshSavedCards();
        refreshPlaylists();
    });
    connect(&custom_, &CustomWallpapersService::customWallpapersChanged, this, &LikedView::refreshPlaylists);
    connect(&appStore_, &AppStore::baseUrlChanged, this, [this] {
        refreshCreateCard();
        refreshPlaylists();
    });
    connect(&explore_, &ExplorePageService::discoverWallpapersChanged, this, &LikedView::refreshCreateCard);
    connect(&popup_, &CreatePlaylistPopupService::isPresentedChanged, this, &LikedView::followPopup);

    refreshPlaylists();
    refreshSaved();
}

LikedView::~LikedView() = default;

QUuid LikedView::createCardKey() { return QUuid(QStringLiteral("{00000000-0000-0000-0000-00000000c7ea}")); }

QString LikedView::savedSubtitleText(qsizetype count)
{
    if (count == 0)
        return tr("You haven't saved any wallpapers yet. Start exploring and save your favorites!");
    return count == 1 ? tr("Your collection of 1 saved wallpaper") : tr("Your collection of %L1 saved wallpapers").arg(count);
}

CreatePlaylistCardView* LikedView::createCard() const { return createCard_; }

bool LikedView::isEmptyStateShown() const { return saved_->currentIndex() == 1; }
bool LikedView::isLoadingStateShown() const { return saved_->currentIndex() == 2; }

const WallpapersByKey& LikedView::likedRecords() const
{
    // While the list is read the playlists show without its pictures rather than wait for it.
    static const WallpapersByKey none;
    return liked_.isLoading() ? none : liked_.likedWallpapers();
}

void LikedView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Each showing fills the Discover strip (the create card's previews) unless it has
    // wallpapers already.
    fireAndForget(explore_.refreshDiscoverSection(), QStringLiteral("LikedView"));
}

// -- playlists -----------------------------------------------------------------------------------

QWidget* LikedView::makePlaylistCell(int index)
{
    if (index == 0) {
        auto* card = new CreatePlaylistCardView;
        createCard_ = card;
        refreshCreateCard();
        return card;
    }
    const WallpaperPlaylist& playlist = shownPlaylists_.at(index - 1);
    const auto first = PlaylistArtwork::firstWallpaper(playlist, custom_.customWallpapers(), likedRecords());
    auto* card = new PlaylistCardView(playlist, PlaylistArtwork::thumbnailUrl(playlist, first, appStore_.baseUrl()), first);
    connect(card, &PlaylistCardView::addWallpapersRequested, this,
        [this](const WallpaperPlaylist& chosen) { showAddWallpapers(chosen.id); });
    return card;
}

void LikedView::refreshPlaylists()
{
    const QList<WallpaperPlaylist>& playlists = playlists_.playlists();
    shownPlaylists_ = playlists;
    QList<QUuid> keys{createCardKey()};
    for (const WallpaperPlaylist& playlist : playlists)
        keys.append(playlist.id);
    playlistGrid_->setKeys(keys);
    clearAll_->setVisible(!playlists.isEmpty());
    // Live cards follow renames, new keys and new pictures of their first wallpaper.
    for (const WallpaperPlaylist& playlist : playlists) {
        if (auto* card = qobject_cast<PlaylistCardView*>(playlistGrid_->cellForKey(playlist.id))) {
            const auto first = PlaylistArtwork::firstWallpaper(playlist, custom_.customWallpapers(), likedRecords());
            card->setPlaylist(playlist, PlaylistArtwork::thumbnailUrl(playlist, first, appStore_.baseUrl()), first);
        }
    }
}

void LikedView::refreshCreateCard()
{
    if (!createCard_)
        return;
    const auto media = PlaylistArtwork::createCardMedia(explore_.discoverWallpapers(), appStore_.baseUrl());
    createCard_->setMedia(media.videos, media.posters);
}

void LikedView::confirmClearAll()
{
    ConfirmationAlert::ask(this, tr("Clear All Playlists"),
        tr("This will permanently delete all your playlists. This action cannot be undone."),
        tr("Clear All"), [this] { playlists_.deleteAllPlaylists(); });
}

// -- saved wallpapers ----------------------------------------------------------------------------

WallpaperModel LikedView::savedAt(int index) const
{
    // Looked up by key: a long list is never copied for one card.
    return liked_.likedWallpapers().value(liked_.likedOrder().at(index));
}

QWidget* LikedView::makeSavedCell(int index)
{
    return new PosterCardView(savedAt(index), PosterCardView::Options{}, context_);
}

void LikedView::refreshSaved()
{
    if (liked_.isLoading()) {
        shownOrder_.clear();
        savedKeys_.clear();
        savedGrid_->setKeys({});
        savedTitle_->setSubtitle(tr("Loading…"));
        saved_->setCurrentIndex(2);
        return;
    }
    const QList<qint64>& order = liked_.likedOrder();
    const WallpapersByKey& records = liked_.likedWallpapers();
    const auto idOf = [&records](qint64 key) {
        const auto found = records.constFind(key);
        return found == records.cend() ? QUuid() : found->id;
    };
    // Tens of thousands of keys: a like or an unlike puts in or takes out one; otherwise each id
    // is read in place, and no record is copied.
    if (const std::optional<ListStep> step = ListStep::between(shownOrder_, order)) {
        if (step->inserted)
            savedKeys_.insert(step->index, idOf(order.at(step->index)));
        else
            savedKeys_.removeAt(step->index);
    } else {
        savedKeys_.clear();
        savedKeys_.reserve(order.size());
        for (const qint64 key : order)
            savedKeys_.append(idOf(key));
    }
    shownOrder_ = order;
    savedGrid_->setKeys(savedKeys_);
    savedTitle_->setSubtitle(savedSubtitleText(order.size()));
    saved_->setCurrentIndex(order.isEmpty() ? 1 : 0);
}

void LikedView::refreshSavedCards()
{
    if (liked_.isLoading())
        return;
    const WallpapersByKey& records = liked_.likedWallpapers();
    for (PosterCardView* card : savedGrid_->findChildren<PosterCardView*>(Qt::FindDirectChildrenOnly)) {
        const std::optional<qint64> key = card->wallpaper().key;
        const auto found = key ? records.constFind(*key) : records.cend();
        if (found != records.cend())
            PosterCardView::refresh(card, *found);
    }
}

// -- sheets --------------------------------------------------------------------------------------

void LikedView::followPopup(bool presented)
{
    if (!sheets_)
        return;
    if (presented && !createSheet_) {
        createSheet_ = new CreatePlaylistSheet;
        // However the sheet goes (Cancel, Escape, created), the popup flag follows.
        connect(createSheet_, &QObject::destroyed, &popup_, [popup = &popup_] { popup->hide(); });
        sheets_->present(createSheet_);
    } else if (!presented && createSheet_ && sheets_->sheet() == createSheet_) {
        sheets_->dismiss();
    }
}

void LikedView::showAddWallpapers(const QUuid& playlistId)
{
    const auto playlist = playlists_.playlist(playlistId);
    if (!playlist || !sheets_)
        return;
    sheets_->present(new AddWallpapersToPlaylistSheet(*playlist));
}
