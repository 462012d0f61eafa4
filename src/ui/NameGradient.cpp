#include "ui/NameGradient.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
// FNV-1a over the UTF-16 units: Qt's own hash is seeded per process, and a card's colour must
// not change between runs.
quint32 stableHash(const QString& text)
{
    quint32 hash = 2166136261u;
    for (const QChar unit : text) {
        hash ^= unit.unicode();
        hash *= 16777619u;
    }
    return hash;
}
} // namespace

std::pair<QColor, QColor> NameGradient::colours(const QString& name)
{
    const int hue = int(stableHash(name) % 360);
    return {QColor::fromHsv(hue, 150, 150), QColor::fromHsv((hue + 45) % 360, 170, 80)};
}

void NameGradient::paint(QPainter& painter, const QRectF& rect, const QString& name)
{
    const auto [start, end] = colours(name);
    QLinearGradient fill(rect.topLeft(), rect.bottomRight());
    fill.setColorAt(0, start);
    fill.setColorAt(1, end);
    painter.fillRect(rect, fill);
}
