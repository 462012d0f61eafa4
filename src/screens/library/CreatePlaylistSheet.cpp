#include "screens/library/CreatePlaylistSheet.h"

#include "library/AutoChangeTimeOption.h"
#include "screens/library/CreatePlaylistWallpaperPickerSheet.h"
#include "screens/library/PlaylistNameRules.h"
#include "ui/FormControls.h"
#include "ui/SheetHost.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* sectionHeader(const QString& text, QWidget* parent)
{
    auto* header = new QLabel(text, parent);
    header->setFont(Theme::font(Theme::TextStyle::Subheadline, QFont::DemiBold));
    header->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6);"));
    return header;
}
} // namespace

CreatePlaylistSheet::CreatePlaylistSheet(QWidget* parent)
    : PlaylistSheet(kSize, parent),
      name_(FormControls::textField(tr("Playlist name"), this)), interval_(nullptr),
      create_(FormControls::button(tr("Create"), FormControls::ButtonStyle::Prominent, this))
{
    setTitle(tr("Create Playlist"));
    auto* cancel = FormControls::button(tr("Cancel"), FormControls::ButtonStyle::Bordered, this);
    addHeaderButton(cancel);
    addHeaderButton(create_);
    setDefaultButton(create_);
    connect(cancel, &QPushButton::clicked, this, &PlaylistSheet::dismiss);
    connect(create_, &QPushButton::clicked, this, &CreatePlaylistSheet::showWallpaperPicker);

    QStringList labels;
    for (const auto option : AutoChangeTimeOption::allCases)
        labels.append(AutoChangeTimeOption(option).label());
    interval_ = FormControls::picker(labels, this);

    auto* form = new QVBoxLayout;
    form->setContentsMargins(20, 16, 20, 16);
    form->setSpacing(8);
    // The sheet's height is fixed: the form stands in the middle of it, not on a blank foot.
    form->addStretch();
    form->addWidget(sectionHeader(tr("Name"), this));
    form->addWidget(name_);
    form->addSpacing(12);
    form->addWidget(sectionHeader(tr("Auto Change"), this));
    auto* row = new QFormLayout;
    row->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row->addRow(new QLabel(tr("Auto change every"), this), interval_);
    form->addLayout(row);
    form->addStretch();
    body()->addLayout(form);

    connect(name_, &QLineEdit::textChanged, this, &CreatePlaylistSheet::limitName);
    create_->setEnabled(false);
    // The sheet host focuses the sheet it shows: typing goes straight into the name.
    setFocusProxy(name_);
}

void CreatePlaylistSheet::limitName(const QString& typed)
{
    const QString kept = PlaylistNameRules::limited(typed);
    if (kept != typed) {
        // Setting the text runs this again, which then keeps it.
        name_->setText(kept);
        return;
    }
    create_->setEnabled(PlaylistNameRules::isValidNewName(kept));
}

void CreatePlaylistSheet::showWallpaperPicker()
{
    if (!PlaylistNameRules::isValidNewName(name_->text()))
        return;
    auto* host = qobject_cast<SheetHost*>(parentWidget());
    if (!host)
        return;
    const qint64 seconds = AutoChangeTimeOption::allCases.at(interval_->currentIndex());
    QPointer<CreatePlaylistSheet> self(this);
    host->present(new CreatePlaylistWallpaperPickerSheet(PlaylistNameRules::trimmed(name_->text()), seconds, [self] {
        if (self)
            self->dismiss();
    }));
}
