#include "ui/LoadingWallpapersRow.h"

#include "ui/Spinner.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

LoadingWallpapersRow::LoadingWallpapersRow(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, kVerticalPadding, 0, kVerticalPadding);
    column->setSpacing(16);
    column->addWidget(new Spinner(1.2, Qt::white, this), 0, Qt::AlignHCenter);
    column->addWidget(new TextLabel(tr("Loading wallpapers..."), Theme::systemFont(14),
                          Theme::withOpacity(Qt::white, 0.6), this),
        0, Qt::AlignHCenter);
}
