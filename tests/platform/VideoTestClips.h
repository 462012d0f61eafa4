#pragma once

#include "support/TestPaths.h"

#include <QColor>
#include <QDir>
#include <QUrl>

#include <cstdlib>

// The small clips under tests/data the video tests play.
namespace VideoTestClips {

// 2 s, 320×180, H.264, one flat colour throughout.
inline QUrl loop() { return QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4"))); }
inline QColor loopColour() { return QColor(0x20, 0x50, 0xC0); }

// Plain text under a video file name.
inline QUrl notAVideo() { return QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("not-a-video.mp4"))); }

inline QUrl missing() { return QUrl::fromLocalFile(QDir::temp().filePath(QStringLiteral("quorvelle-no-such-clip.mp4"))); }

// Colours survive H.264 and YUV→RGB only approximately.
inline bool isNear(QColor actual, QColor expected)
{
    constexpr int kTolerance = 16;
    return std::abs(actual.red() - expected.red()) <= kTolerance && std::abs(actual.green() - expected.green()) <= kTolerance
        && std::abs(actual.blue() - expected.blue()) <= kTolerance;
}

} // namespace VideoTestClips
