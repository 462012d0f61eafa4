#pragma once

#include <QColor>
#include <QString>

#include <utility>

class QPainter;
class QRectF;

// What a card shows when it has no picture of its own: a diagonal two-colour gradient whose hue
// follows the card's name, the same on every run, muted enough for a white title over it. Cards
// without a poster then differ from each other and from a card whose poster is still loading.
class NameGradient {
public:
    // The gradient's top-left and bottom-right colours for `name`.
    static std::pair<QColor, QColor> colours(const QString& name);
    static void paint(QPainter& painter, const QRectF& rect, const QString& name);
};
