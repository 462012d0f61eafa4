#pragma once

#include <QColor>
#include <QSize>
#include <QString>

class QPainter;
class QPainterPath;
class QRectF;

// The label of one tab of the top navigation bar, painted by the bar: the title on a white
// capsule that is nearly opaque (with black text) for the selected tab, faint for a hovered one
// and absent otherwise. Selection and hover come in as amounts from 0 to 1 so the bar can fade
// them; a tab both selected and hovered looks selected.
class NavigationTabLabel {
public:
    static QSize size(const QString& title);
    static qreal capsuleOpacity(qreal selected, qreal hovered);
    static QColor textColor(qreal selected);
    // Where the label takes the pointer: its capsule.
    static QPainterPath capsule(const QRectF& rect);
    static void paint(QPainter& painter, const QRectF& rect, const QString& title, qreal selected, qreal hovered);
};
