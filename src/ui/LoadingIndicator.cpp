#include "ui/LoadingIndicator.h"

#include "ui/Spinner.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

LoadingIndicator::LoadingIndicator(QWidget* parent) : QWidget(parent), spinner_(new Spinner(1.5, Qt::white, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* label = new QLabel(tr("Loading preview..."), this);
    label->setFont(Theme::font(Theme::TextStyle::Subheadline));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, 0.8));
    label->setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(16);
    column->addStretch();
    column->addWidget(spinner_, 0, Qt::AlignHCenter);
    column->addWidget(label, 0, Qt::AlignHCenter);
    column->addStretch();
}

void LoadingIndicator::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::withOpacity(Theme::appBackgroundColor(), 0.3));
}
