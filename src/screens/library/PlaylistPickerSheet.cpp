#include "screens/library/PlaylistPickerSheet.h"

#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "screens/library/CreatePlaylistPickerThumbnail.h"
#include "screens/library/PlaylistPickerOffer.h"
#include "state/AppStore.h"
#include "ui/FormControls.h"
#include "ui/LazyGridView.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
constexpr int kSpacing = 16;
constexpr int kEdgePadding = 20;

QWidget* emptyState(QWidget* parent)
{
    auto* state = new QWidget(parent);
    auto* column = new QVBoxLayout(state);
    column->setSpacing(12);
    column->addStretch();
    auto* symbol = new QLabel(state);
    symbol->setPixmap(QPixmap::fromImage(Symbols::image(QStringLiteral("photo.on.rectangle.angled"),
        Theme::withOpacity(Qt::white, 0.55), Symbols::sizeForFont(40), state->devicePixelRatioF())));
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    for (const auto& [text, style] :
        {std::pair{QCoreApplication::translate("PlaylistPickerSheet", "No wallpapers to add"), Theme::TextStyle::Body},
            std::pair{QCoreApplication::translate("PlaylistPickerSheet", "Save wallpapers from home or explore first"),
                Theme::TextStyle::Caption}}) {
        QLabel* line = FormControls::secondaryText(text, Theme::pixelSize(style), state);
        line->setAlignment(Qt::AlignHCenter);
        column->addWidget(line);
    }
    column->addStretch();
    return state;
}
} // namespace

PlaylistPickerSheet::PlaylistPickerSheet(const QString& title, const QString& confirmText, QList<qint64> selected,
    QWidget* parent)
    : PlaylistSheet(kSize, parent), appStore_(AppStore::shared()), liked_(LikedWallpapersService::shared()),
      custom_(CustomWallpapersService::shared()), selected_(std::move(selected)), pages_(new QStackedWidget(this)),
      scroll_(new QScrollArea(this)), grid_(new LazyGridView), footer_(new QWidget(this)), count_(new QLabel(footer_)),
      confirm_(FormControls::button(confirmText, FormControls::ButtonStyle::Prominent, footer_))
{
    setTitle(title);
    auto* cancel = FormControls::button(tr("Cancel"), FormControls::ButtonStyle::Bordered, this);
    addHeaderButton(cancel);
    connect(cancel, &QPushButton::clicked, this, &PlaylistSheet::dismiss);

    auto* gridPage = new QWidget;
    auto* padded = new QVBoxLayout(gridPage);
    padded->setContentsMargins(kEdgePadding, kEdgePadding, kEdgePadding, kEdgePadding);
    padded->addWidget(grid_);
    padded->addStretch();
    grid_->setColumns(3);
    grid_->setCellAspectRatio(1 / CreatePlaylistPickerThumbnail::kAspect);
    grid_->setSpacing(kSpacing, kSpacing);
    grid_->setCellFactory([this](int index) {
        const WallpaperModel& wallpaper = offered_.at(index);
        auto* thumbnail = new CreatePlaylistPickerThumbnail(wallpaper, selected_.contains(*wallpaper.key), appStore_.baseUrl());
        connect(thumbnail, &CreatePlaylistPickerThumbnail::tapped, this, [this, thumbnail] { toggleSelection(thumbnail->wallpaper()); });
        return thumbnail;
    });
    scroll_->setWidget(gridPage);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    gridPage->setAutoFillBackground(false);
    pages_->addWidget(scroll_);
    pages_->addWidget(emptyState(this));
    body()->addWidget(pages_, 1);

    auto* divider = new QFrame(footer_);
    divider->setFrameShape(QFrame::HLine);
    divider->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.12);"));
    auto* footerColumn = new QVBoxLayout(footer_);
    footerColumn->setContentsMargins(0, 0, 0, 0);
    footerColumn->addWidget(divider);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 10, 16, 10);
    count_->setFont(Theme::font(Theme::TextStyle::Subheadline));
    count_->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6);"));
    row->addWidget(count_);
    row->addStretch();
    row->addWidget(confirm_);
    footerColumn->addLayout(row);
    body()->addWidget(footer_);
    setDefaultButton(confirm_);
    connect(confirm_, &QPushButton::clicked, this, [this] { confirm(); });

    for (auto changed : {&LikedWallpapersService::likedOrderChanged, &LikedWallpapersService::likedWallpapersChanged})
        connect(&liked_, changed, this, &PlaylistPickerSheet::refresh);
    for (auto changed : {&CustomWallpapersService::customOrderChanged, &CustomWallpapersService::customWallpapersChanged})
        connect(&custom_, changed, this, &PlaylistPickerSheet::refresh);
    connect(&appStore_, &AppStore::baseUrlChanged, this, [this] {
        // Thumbnails take the host when they are made: make them again.
        grid_->setKeys({});
        refresh();
    });
}

bool PlaylistPickerSheet::isEmptyStateShown() const { return pages_->currentIndex() == 1; }

CreatePlaylistPickerThumbnail* PlaylistPickerSheet::thumbnailOf(qint64 key) const
{
    for (const WallpaperModel& wallpaper : offered_) {
        if (wallpaper.key == key)
            return qobject_cast<CreatePlaylistPickerThumbnail*>(grid_->cellForKey(wallpaper.id));
    }
    return nullptr;
}

void PlaylistPickerSheet::refresh()
{
    offered_ = arrange(PlaylistPickerOffer::combined(custom_.orderedCustomWallpapers(), liked_.likedWallpapersInOrder()));
    QList<QUuid> ids;
    for (const WallpaperModel& wallpaper : offered_)
        ids.append(wallpaper.id);
    grid_->setKeys(ids);
    pages_->setCurrentIndex(offered_.isEmpty() ? 1 : 0);
}

void PlaylistPickerSheet::toggleSelection(const WallpaperModel& wallpaper)
{
    if (!wallpaper.key)
        return;
    if (!selected_.removeOne(*wallpaper.key))
        selected_.append(*wallpaper.key);
    followSelection();
}

void PlaylistPickerSheet::followSelection()
{
    for (const WallpaperModel& wallpaper : offered_) {
        if (auto* thumbnail = qobject_cast<CreatePlaylistPickerThumbnail*>(grid_->cellForKey(wallpaper.id)))
            thumbnail->setSelected(selected_.contains(*wallpaper.key));
    }
    count_->setText(QString::number(selected_.size()) + QStringLiteral(" selected"));
    footer_->setVisible(!selected_.isEmpty());
    refresh();
}
