#include "screens/library/PlaylistCardPopoverView.h"

#include "library/WallpaperPlaylistService.h"
#include "screens/library/PlaylistNameRules.h"
#include "ui/FormControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QStringList optionLabels()
{
    QStringList labels;
    for (const auto option : AutoChangeTimeOption::allCases)
        labels.append(AutoChangeTimeOption(option).label());
    return labels;
}

int indexOf(AutoChangeTimeOption option)
{
    const auto& all = AutoChangeTimeOption::allCases;
    return int(std::find(all.begin(), all.end(), option.value()) - all.begin());
}

QVBoxLayout* section(QWidget* parent, QVBoxLayout* into, const QString& caption, QWidget* control)
{
    auto* box = new QVBoxLayout;
    box->setSpacing(6);
    box->addWidget(FormControls::caption(caption, parent));
    box->addWidget(control);
    into->addLayout(box);
    return box;
}
} // namespace

PlaylistCardPopoverView::PlaylistCardPopoverView(const WallpaperPlaylist& playlist, WallpaperPlaylistService& playlists,
    QWidget* parent)
    : QWidget(parent), playlist_(playlist), playlists_(playlists),
      selected_(AutoChangeTimeOption::nearest(playlist.autoChangeIntervalSeconds)),
      name_(FormControls::textField(tr("Playlist name"), this)),
      interval_(FormControls::picker(optionLabels(), this)),
      add_(FormControls::button(tr("Add wallpapers"), FormControls::ButtonStyle::Bordered, this)),
      delete_(FormControls::button(tr("Delete"), FormControls::ButtonStyle::Destructive, this))
{
    setMinimumSize(kMinimumSize);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(16);
    name_->setText(playlist_.name);
    section(this, column, tr("Name"), name_);
    interval_->setCurrentIndex(indexOf(selected_));
    section(this, column, tr("Auto change"), interval_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(FormControls::kButtonSpacing);
    buttons->addWidget(add_);
    buttons->addStretch();
    buttons->addWidget(delete_);
    column->addLayout(buttons);

    // Only what the user does is stored: the text and the picker as opened write nothing.
    connect(name_, &QLineEdit::textEdited, this, &PlaylistCardPopoverView::rename);
    connect(interval_, &QComboBox::activated, this, &PlaylistCardPopoverView::pickInterval);
    connect(add_, &QPushButton::clicked, this, &PlaylistCardPopoverView::addWallpapersRequested);
    connect(delete_, &QPushButton::clicked, this, &PlaylistCardPopoverView::deleteRequested);
}

void PlaylistCardPopoverView::rename(const QString& typed)
{
    if (const auto name = PlaylistNameRules::renamed(typed))
        playlists_.updatePlaylist(playlist_.id, name, std::nullopt);
}

void PlaylistCardPopoverView::pickInterval(int index)
{
    const AutoChangeTimeOption option = AutoChangeTimeOption::allCases.at(index);
    if (option == selected_)
        return;
    selected_ = option;
    playlists_.updatePlaylist(playlist_.id, std::nullopt, option.rawValue());
}
