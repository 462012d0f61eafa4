#pragma once

#include <QImage>
#include <QList>
#include <QRect>

#include <functional>

class QPainter;
class QWidget;

// What a translucent widget painted, kept as a premultiplied image: a widget laid over a video
// is repainted for every frame beneath it while its own pixels stay the same, and one blit of
// them costs far less than filling and stroking its shapes and laying out its text again.
// Painted again when the widget's size or pixel ratio changes, when `state` (every other value
// the painting reads) differs from the last one, or after invalidate().
class PaintCache {
public:
    using Painting = std::function<void(QPainter&)>;

    void paint(QPainter& painter, const QWidget& widget, const QList<qreal>& state, const Painting& painting);
    void invalidate() { image_ = QImage(); }
    // Times the painting ran, for tests that check what a repaint redraws.
    int renderCount() const { return renders_; }

private:
    QImage image_;
    QRect painted_;
    QList<qreal> state_;
    int renders_ = 0;
};
