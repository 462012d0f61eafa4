#include "screens/library/SavedWallpapersLoadingView.h"

#include "ui/Spinner.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

SavedWallpapersLoadingView::SavedWallpapersLoadingView(QWidget* parent)
    : QWidget(parent), spinner_(new Spinner(1.0, Theme::withOpacity(Qt::white, 0.6)))
{
    // The empty state's place and margins, so nothing jumps when one follows the other.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 60, 0, 60);
    column->setSpacing(16);
    column->addWidget(spinner_, 0, Qt::AlignHCenter);
    auto* title = new QLabel(tr("Loading your saved wallpapers…"), this);
    title->setFont(Theme::font(Theme::TextStyle::Subheadline));
    title->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6);"));
    column->addWidget(title, 0, Qt::AlignHCenter);
}
