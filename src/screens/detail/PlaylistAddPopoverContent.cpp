#include "screens/detail/PlaylistAddPopoverContent.h"

#include "screens/detail/PlaylistRowButton.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel* label(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, 0.55));
    label->setPalette(palette);
    return label;
}
} // namespace

PlaylistAddPopoverContent::PlaylistAddPopoverContent(const WallpaperModel& wallpaper, const QList<WallpaperPlaylist>& playlists,
    QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumWidth(kMaxWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    QLabel* title = label(tr("Add to playlist"), Theme::systemFont(12, QFont::DemiBold), this);
    title->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(title);
    if (playlists.isEmpty()) {
        QLabel* empty = label(tr("No playlist found"), Theme::systemFont(13), this);
        empty->setAlignment(Qt::AlignCenter);
        empty->setContentsMargins(12, 16, 12, 16);
        // It takes the room the popover's least height leaves, the text centred in it, rather
        // than leaving that room blank beneath it.
        layout->addWidget(empty, 1);
        return;
    }
    auto* list = new QVBoxLayout;
    list->setSpacing(6);
    for (const WallpaperPlaylist& playlist : playlists) {
        auto* row = new PlaylistRowButton(playlist, wallpaper.key, this);
        connect(row, &PlaylistRowButton::clicked, this, [this, playlist] { Q_EMIT playlistSelected(playlist); });
        rows_.append(row);
        list->addWidget(row);
    }
    layout->addLayout(list);
    layout->addStretch();
}
