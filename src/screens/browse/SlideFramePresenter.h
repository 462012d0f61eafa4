#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>

class QWidget;

// Puts a playing slide's frames straight into its window's picture and on the screen. What lies
// over the slide there (its cover of shade and text, its own buttons, and every widget stacked
// above it: the thumbnail row, the first card row, the header) is kept as one premultiplied
// picture, so a frame costs one pass over the slide's visible part and a flush of that part,
// where a repaint through Qt would paint each of those widgets again over every frame.
// Whatever Qt paints over the slide in the meantime (a hover, a picture that arrived, a move)
// reaches the slide as a repaint, which the slide reports here: that part is taken again from
// the widgets before the next frame. GUI thread; owned by the slide.
class SlideFramePresenter {
public:
    explicit SlideFramePresenter(QWidget* slide);

    // Qt painted `region` of the slide: what lies over it there may have changed.
    void invalidate(const QRegion& region) { stale_ += region; }
    void invalidate();

    // Composes `frame` (the slide's size in device pixels) under `cover` (the slide's own shade
    // and text, premultiplied, the same size) and everything above the slide into the window's
    // picture, and flushes that part to the screen. False, doing nothing, where the window's
    // picture cannot be written so (not shown, no raster backing store, a native widget between,
    // a pixel ratio that is not whole): the caller repaints the slide the usual way.
    bool present(const QImage& frame, const QImage& cover);

    // Frames that went to the screen this way, for tests.
    int framesPresented() const { return presented_; }

private:
    // Takes the stale part of the overlay again: the cover, then the widgets above it.
    void refresh(const QImage& cover, const QRegion& visible);

    QWidget* slide_;
    // What lies over the slide, premultiplied, the slide's size in device pixels.
    QImage overlay_;
    // What the overlay was made for: where the slide lay in its window and the window's size.
    QPoint placedAt_;
    QSize windowSize_;
    qint64 coverKey_ = 0;
    QRegion stale_;
    int presented_ = 0;
};
