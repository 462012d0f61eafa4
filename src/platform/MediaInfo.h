#pragma once

#include <QSize>
#include <QString>

// What a media file says about itself, read by MediaTools::probe.
struct MediaInfo {
    // Length of the longest track in seconds; 0 when the file does not state one.
    double durationSeconds = 0;
    bool hasVideoTrack = false;
    // Size of the main video track's pictures as stored (non-square pixels already widened),
    // before rotation metadata: a portrait clip recorded sideways reports its landscape size.
    QSize naturalSize;
    // Clockwise turn in degrees (0, 90, 180 or 270) that shows the pictures upright.
    int rotation = 0;
    // FFmpeg's name of the video codec, e.g. "h264"; empty without a video track.
    QString codecName;
    // Frames per second of the video track; 0 when unknown.
    double frameRate = 0;

    // The upright size a viewer sees: naturalSize with width and height swapped for quarter turns.
    QSize displaySize() const { return rotation % 180 == 0 ? naturalSize : naturalSize.transposed(); }
};
