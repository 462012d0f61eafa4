#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Clips for the engine's tests, drawn by the ffmpeg tool from its test sources.
namespace EngineTestClips {

// Runs the ffmpeg tool quietly; false (and a test failure) when it fails. A 4K clip takes minutes
// beside a loaded machine's other work.
inline bool ffmpeg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + arguments);
    if (!process.waitForFinished(300'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg failed: " << process.readAllStandardError().constData();
        return false;
    }
    return true;
}

// An H.264 clip of `seconds` from a moving test pattern, at `size` ("640x360") and 30 fps.
inline bool makeClip(const QString& path, const QString& size, double seconds, const QStringList& extra = {})
{
    const QString source = QStringLiteral("testsrc2=size=%1:rate=30:duration=%2").arg(size).arg(seconds);
    return ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source}
        + QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
            QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}
        + extra + QStringList{path});
}

} // namespace EngineTestClips
