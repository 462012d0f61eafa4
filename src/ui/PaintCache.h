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
// the painting reads) differs from the last one, when the area moves, or after invalidate().
class PaintCache {
public:
    using Painting = std::function<void(QPainter&)>;

    // `area` is the part of the widget the painting draws on (the whole widget when null): only
    // it is kept and blended, as transparent pixels cost a blend too. The painting still draws
    // in widget coordinates.
    void paint(QPainter& painter, const QWidget& widget, const QList<qreal>& state, const Painting& painting,
        const QRectF& area = QRectF());
    // The next paint() paints again; the image stays to be painted into.
    void invalidate() { stale_ = true; }
    // Times the painting ran, for tests that check what a repaint redraws.
    int renderCount() const { return renders_; }

private:
    QImage image_;
    // Where image_ lies in the widget, in device pixels.
    QRect pixels_;
    QList<qreal> state_;
    bool stale_ = true;
    int renders_ = 0;
};
