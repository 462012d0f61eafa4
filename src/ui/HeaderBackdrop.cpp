#include "ui/HeaderBackdrop.h"

#include "ui/Theme.h"

#include <QAbstractScrollArea>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

HeaderBackdrop::HeaderBackdrop(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void HeaderBackdrop::setRowBottom(int rowBottom)
{
    rowBottom_ = rowBottom;
    setGeometry(0, 0, parentWidget()->width(), std::max(0, rowBottom + kFadeBelow));
}

QAbstractScrollArea* HeaderBackdrop::pageUnder() const
{
    // Below the row only the fade, which lets clicks through, lies over the page.
    const QPoint probe = mapTo(parentWidget(), QPoint(width() / 2, (rowBottom_ + height()) / 2));
    QAbstractScrollArea* outermost = nullptr;
    for (QWidget* widget = parentWidget()->childAt(probe); widget && widget != parentWidget(); widget = widget->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            outermost = area;
    return outermost;
}

bool HeaderBackdrop::isContentUnder()
{
    QAbstractScrollArea* page = pageUnder();
    if (!scanned_ || page != page_) {
        page_ = page;
        scanned_ = true;
        ++scans_;
        areas_.clear();
        for (QAbstractScrollArea* area : parentWidget()->findChildren<QAbstractScrollArea*>()) {
            follow(area);
            areas_.append(area);
        }
    }
    const QRect strip(mapToGlobal(QPoint(0, 0)), size());
    for (const QPointer<QAbstractScrollArea>& area : std::as_const(areas_)) {
        if (area && area->isVisible() && area->verticalScrollBar()->value() > 0
            && QRect(area->mapToGlobal(QPoint(0, 0)), area->size()).intersects(strip))
            return true;
    }
    return false;
}

void HeaderBackdrop::follow(QAbstractScrollArea* area)
{
    connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, &HeaderBackdrop::refresh, Qt::UniqueConnection);
}

void HeaderBackdrop::paintEvent(QPaintEvent*)
{
    if (height() == 0 || !isContentUnder())
        return;
    QPainter painter(this);
    const QColor background = Theme::appBackgroundColor();
    QLinearGradient fade(0, 0, 0, height());
    const qreal solid = qreal(std::max(0, rowBottom_ - 6)) / height();
    fade.setColorAt(0, background);
    fade.setColorAt(solid, Theme::withOpacity(background, 0.97));
    fade.setColorAt(1, Theme::withOpacity(background, 0));
    painter.fillRect(rect(), fade);
}
