#pragma once

#include "backend/CatalogueClientTest.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "platform/MediaTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

// The sample catalogue with a fresh client and user folders (CatalogueClientTest), an in-memory
// defaults store with the own-wallpapers store on it, and videos drawn once per build by the
// ffmpeg tool.
class OwnFixture : public CatalogueClientTest {
protected:
    // A device of its own per test: the catalogue outlives the test.
    const QString device_ = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();

    enum class Clip { Uhd, UhdTooBigAndLong, Portrait, SmallLong, AudioOnly, UhdMatroska };

    // The clip's path; the test fails when it cannot be drawn.
    static QString clip(Clip which)
    {
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/own-test-clips");
        QDir().mkpath(folder);
        const auto draw = [&](const QString& name, const QStringList& arguments) {
            const QString path = folder + QLatin1Char('/') + name;
            if (QFile::exists(path))
                return path;
            // Test processes run side by side: each draws into a part of its own, and the rename
            // hands over only a whole clip.
            const QString part = path + QStringLiteral(".%1.part.mp4").arg(QCoreApplication::applicationPid());
            QProcess ffmpeg;
            ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")}
                + arguments + QStringList{QStringLiteral("-movflags"), QStringLiteral("+faststart"), part});
            if (!ffmpeg.waitForFinished(120'000) || ffmpeg.exitCode() != 0)
                ADD_FAILURE() << "ffmpeg failed: " << ffmpeg.readAllStandardError().constData();
            if (!QFile::rename(part, path))
                QFile::remove(part); // another process got there first with the same clip
            return path;
        };
        const auto video = [](const QString& size, int seconds) {
            return QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("color=c=0x2a5d8f:s=%1:r=2:d=%2").arg(size).arg(seconds), QStringLiteral("-c:v"),
                QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"),
                QStringLiteral("yuv420p")};
        };
        switch (which) {
        case Clip::Uhd: return draw(QStringLiteral("uhd.mp4"), video(QStringLiteral("3840x2160"), 1));
        case Clip::UhdMatroska:
            // A 4K picture in a Matroska file under an MP4 name.
            return draw(QStringLiteral("uhd-matroska.mp4"),
                video(QStringLiteral("3840x2160"), 1) + QStringList{QStringLiteral("-f"), QStringLiteral("matroska")});
        case Clip::Portrait: return draw(QStringLiteral("portrait.mp4"), video(QStringLiteral("2160x3840"), 1));
        case Clip::SmallLong: return draw(QStringLiteral("small-long.mp4"), video(QStringLiteral("320x180"), 75));
        case Clip::AudioOnly:
            return draw(QStringLiteral("audio-only.mp4"), {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("anullsrc=r=44100:cl=mono"), QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-c:a"),
                QStringLiteral("aac")});
        case Clip::UhdTooBigAndLong: {
            // A 4K clip of 61 s followed by 250 MiB of nothing (sparse, so cheap to make).
            const QString path = draw(QStringLiteral("uhd-long.mp4"), video(QStringLiteral("3840x2160"), 61));
            const QString big = folder + QStringLiteral("/uhd-big.mp4");
            if (!QFile::exists(big)) {
                QFile::copy(path, big);
                QFile file(big);
                EXPECT_TRUE(file.resize(qint64(250) << 20));
            }
            return big;
        }
        }
        return {};
    }

    // A copy of a clip in the test's folder under `name`.
    QString copyOf(Clip which, const QString& name)
    {
        const QString path = temp_.file(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(clip(which), path));
        return path;
    }

    UserDefaults defaults_{QStringLiteral("own-tests"), UserDefaults::Storage::InMemory};
    CustomWallpapersService store_{defaults_, Paths::applicationSupport()};
    MediaTools media_;
    LogCapture log_;
};
