#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

#include <optional>

namespace pictor {

// The block structure of GIF data, read without decoding pixels: the canvas, each frame's delay
// (from its graphic control extension) and whether the data runs to its trailer. Lets the
// animated decoding check sizes and completeness before it allocates any frame.
struct GifStructure {
    // What every frame is composed on, whatever the frames' own sizes: the logical screen.
    QSize canvas;
    // One entry per frame: its delay in seconds, absent without a graphic control extension.
    QList<std::optional<double>> delays;
    // Empty when the blocks run complete to the trailer, else where and why they stop.
    QString failure;

    static GifStructure read(const QByteArray& data);
};

} // namespace pictor
