#pragma once

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <cstdlib>
#include <ostream>

// Pulling a page's hero down as a user does, and telling from two pictures of the hero which
// point of its picture the stretch keeps in place.
namespace HeroPull {

// Touchpad steps upwards over the top of `area`, as they reach its viewport.
inline void pullDown(QAbstractScrollArea& area, int steps = 3)
{
    QWidget* viewport = area.viewport();
    const QPointF over(viewport->width() / 2.0, 100);
    for (int i = 0; i < steps; ++i) {
        QWheelEvent wheel(over, viewport->mapToGlobal(over), QPoint(0, 80), QPoint(0, 160), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    }
}

enum class Anchor { Unmoved, Top, Centre };

inline void PrintTo(Anchor anchor, std::ostream* out)
{
    switch (anchor) {
    case Anchor::Unmoved: *out << "unmoved"; return;
    case Anchor::Top: *out << "grown from the top"; return;
    case Anchor::Centre: *out << "grown from the centre"; return;
    }
}

// `rest` grown by `scale` about `anchor`, as a stretch would draw it.
inline QImage grown(const QImage& rest, QPointF anchor, double scale)
{
    QImage made(rest.size(), QImage::Format_RGB32);
    made.fill(Qt::black);
    QPainter painter(&made);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(anchor);
    painter.scale(scale, scale);
    painter.translate(-anchor);
    painter.drawImage(QPointF(0, 0), rest);
    return made;
}

// The share of the pictures' points whose colours differ: over the whole picture, so that text
// and buttons laid over the hero (which do not stretch) weigh little.
inline double distance(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    int samples = 0;
    for (int y = 1; y < left.height(); y += 3) {
        for (int x = 1; x < left.width(); x += 3) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            differing += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 30;
            ++samples;
        }
    }
    return samples ? double(differing) / samples : 0;
}

// Which of the still picture, the still picture grown from its top centre and the one grown from
// its centre the pulled picture is closest to; `pull` is the hero's pull in pixels.
inline Anchor anchorOf(const QImage& rest, const QImage& pulled, double pull)
{
    const double scale = 1 + pull / rest.height();
    const double unmoved = distance(pulled, rest);
    const double top = distance(pulled, grown(rest, QPointF(rest.width() / 2.0, 0), scale));
    const double centre = distance(pulled, grown(rest, QPointF(rest.width() / 2.0, rest.height() / 2.0), scale));
    if (top < unmoved && top < centre)
        return Anchor::Top;
    return centre < unmoved ? Anchor::Centre : Anchor::Unmoved;
}

} // namespace HeroPull
