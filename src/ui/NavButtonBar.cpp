#include "ui/NavButtonBar.h"

#include "ui/GlassBackground.h"
#include "ui/NavIconButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

NavButtonBar::NavButtonBar(const QList<NavIconButton*>& buttons, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kRing, kRing, kRing, kRing);
    row->setSpacing(kSpacing);
    for (NavIconButton* button : buttons)
        row->addWidget(button, 0, Qt::AlignVCenter);
}

void NavButtonBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    cache_.paint(painter, *this, {}, [this](QPainter& cached) { paintBackground(cached, rect()); });
}

void NavButtonBar::paintBackground(QPainter& painter, const QRectF& rect)
{
    painter.save();
    const QRectF bar = rect.adjusted(0.25, 0.25, -0.25, -0.25);
    GlassBackground::paint(painter, bar, kCornerRadius);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::withOpacity(Qt::white, 0.1), 0.1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(GlassBackground::shape(bar, kCornerRadius));
    painter.restore();
}
