#pragma once

#include <QString>

class QPainter;
class QRectF;

// A wallpaper's name over the foot of its picture: a shade that darkens towards the bottom edge,
// the title in white and, when given, a caption (the category) above it, each cut to the width.
// A poster card shows it while hovered; a picture that is only a frame of the user's own video
// shows it always, as the frame alone does not say which video it is.
class TitleBand {
public:
    struct Look {
        qreal inset;  // of the text from the picture's left, right and bottom edges
        qreal height; // of the shade
        qreal slide;  // how far below its place the text starts while the band comes in
    };
    static constexpr Look kCard{18, 50, 60};
    static constexpr Look kThumbnail{10, 40, 0};

    // Paints the band `amount` of the way in (0: not at all, 1: whole): it grows, fades in and
    // slides up with it.
    static void paint(QPainter& painter, const QRectF& picture, const QString& title, const QString& caption, qreal amount,
        const Look& look);
};
