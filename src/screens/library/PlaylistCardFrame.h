#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QRegion>

#include <array>
#include <functional>

class QPainter;

// What the create-playlist card and the playlist cards share: a 16:9 card with continuous
// corners of radius 26, fitted into its cell 2 points in from every edge, and the faint white
// gradient that stands in where there is no picture.
class PlaylistCardFrame {
public:
    static constexpr qreal kCornerRadius = 26;
    static constexpr qreal kPadding = 2;
    static constexpr qreal kHoverScale = 1.02;
    static constexpr int kHoverMs = 200;

    // The card inside a cell of `bounds`: as large as fits at 16:9, centred.
    static QRectF cardRect(const QRectF& bounds);
    // The gradient, white at opacity 0.1 at the top-left corner to 0.05 at the bottom-right,
    // over the whole card: the caller clips it to the rounded shape, as it does the pictures.
    static void paintPlaceholder(QPainter& painter, const QRectF& card);
    // The card's rounded shape split for clipping. Most of it is two rectangles, which clip for
    // free; only the four corners need the rounded outline. Made once per size: a video frame
    // repaints the card thirty times a second, and a whole-card path clip costs more than the
    // frame itself.
    struct Clip {
        QRegion rectangles;
        std::array<QPainterPath, 4> corners;
    };
    static Clip clip(const QRectF& card);
    // Runs `paint` inside `clip` and the painter's own clip; a corner outside the latter is skipped.
    static void paintClipped(QPainter& painter, const Clip& clip, const std::function<void()>& paint);
    // Scales the painter by `factor` about the card's centre.
    static void scaleAboutCentre(QPainter& painter, const QRectF& card, qreal factor);
};
