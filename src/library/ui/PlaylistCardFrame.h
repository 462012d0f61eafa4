#pragma once

#include <QRectF>

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
    // The gradient, white at opacity 0.1 at the top-left corner to 0.05 at the bottom-right.
    static void paintPlaceholder(QPainter& painter, const QRectF& card);
    // Runs `paint` clipped to the card's rounded shape. Most of the card is two rectangles, which
    // clip for free; only the four corners need the rounded outline. A video frame repaints the
    // card thirty times a second, and a whole-card path clip costs more than the frame itself.
    static void paintClipped(QPainter& painter, const QRectF& card, const std::function<void()>& paint);
    // Scales the painter by `factor` about the card's centre.
    static void scaleAboutCentre(QPainter& painter, const QRectF& card, qreal factor);
};
