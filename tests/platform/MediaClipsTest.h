#pragma once

#include "platform/MediaError.h"
#include "platform/MediaTools.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Each test clip is made once per run by the ffmpeg tool from its test sources. The main clip
// is 320x180, 30 fps, 3 s, with a tone; its top half is red before 2 s and blue from 2 s on. It
// has a keyframe every second and reordered (B) frames, so seeks land on several keyframes.
class MediaClipsTest : public ::testing::Test {
protected:
    using Kind = MediaError::Kind;

    static QByteArray runTool(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        process.start(tool, QStringList{QStringLiteral("-v"), QStringLiteral("error")} + arguments);
        if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            ADD_FAILURE() << qPrintable(tool) << " failed: " << process.readAllStandardError().constData();
            return {};
        }
        return process.readAllStandardOutput();
    }

    static void SetUpTestSuite()
    {
        clips_ = new QTemporaryDir;
        const QString withSound = QStringLiteral("-f lavfi -i {picture} -f lavfi -i sine=duration=3 -shortest ");
        makeClip(QStringLiteral("clip.mp4"),
            withSound + QStringLiteral("-c:v libx264 -pix_fmt yuv420p -g 30 -sc_threshold 0 -c:a aac"));
        // A phone held upright stores landscape pictures and a quarter turn.
        makeClip(QStringLiteral("rotated.mp4"), QStringLiteral("-i {clip} -c copy -metadata:s:v:0 rotate=90"));
        for (const QString& container : {QStringLiteral("ts"), QStringLiteral("mkv"), QStringLiteral("flv")})
            makeClip(QStringLiteral("clip.") + container, QStringLiteral("-i {clip} -c copy"));
        makeClip(QStringLiteral("anamorphic.mp4"), QStringLiteral("-f lavfi -i {picture} -vf setsar=4/3 -c:v libx264 -pix_fmt yuv420p"));
        // Theora is unknown to movie files; VP9 is known but refused when the movie is begun.
        // Either way the export must re-encode.
        makeClip(QStringLiteral("theora.ogv"), withSound + QStringLiteral("-c:v libtheora -q:v 8 -c:a libvorbis"));
        makeClip(QStringLiteral("vp9.webm"), withSound + QStringLiteral("-c:v libvpx-vp9 -deadline realtime -c:a libopus"));
        makeClip(QStringLiteral("audio.m4a"), QStringLiteral("-f lavfi -i sine=duration=1.5 -c:a aac"));
        // Its index before the packets, as the catalogue serves its videos.
        makeClip(QStringLiteral("index-first.mp4"), QStringLiteral("-i {clip} -c copy -movflags +faststart"));
        // Fragments of a second, each with its own index, after an index of none.
        makeClip(QStringLiteral("fragmented.mp4"), QStringLiteral("-i {clip} -c copy -movflags frag_keyframe+empty_moov"));
    }

    static void TearDownTestSuite()
    {
        delete clips_;
        clips_ = nullptr;
    }

    // Runs the ffmpeg tool with the blank-separated arguments, where "{picture}" stands for the
    // test picture and "{clip}" for the main clip, writing the clip `name`.
    static void makeClip(const QString& name, const QString& arguments)
    {
        static const QString picture = QStringLiteral(
            "testsrc2=size=320x180:rate=30:duration=3,"
            "drawbox=x=0:y=0:w=iw:h=ih/2:color=red:t=fill:enable='lt(t,2)',"
            "drawbox=x=0:y=0:w=iw:h=ih/2:color=blue:t=fill:enable='gte(t,2)'");
        QStringList words = arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString& word : words) {
            if (word == QLatin1String("{picture}"))
                word = picture;
            else if (word == QLatin1String("{clip}"))
                word = clip(QStringLiteral("clip.mp4"));
        }
        runTool(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-y")} + words + QStringList{clip(name)});
    }

    static QString clip(const QString& name) { return clips_->filePath(name); }

    // Fingerprints of the video packets (size and checksum of each), to tell a stream copy from
    // a re-encode.
    static QByteArray videoPacketHashes(const QString& path)
    {
        return runTool(QStringLiteral("ffprobe"), {QStringLiteral("-select_streams"), QStringLiteral("v:0"),
            QStringLiteral("-show_entries"), QStringLiteral("packet=size,data_hash"), QStringLiteral("-show_data_hash"),
            QStringLiteral("md5"), QStringLiteral("-of"), QStringLiteral("csv"), path});
    }

    static QByteArray probeEntry(const QString& path, const QString& entries)
    {
        return runTool(QStringLiteral("ffprobe"), {QStringLiteral("-show_entries"), entries, QStringLiteral("-of"),
            QStringLiteral("default=noprint_wrappers=1:nokey=1"), path}).trimmed();
    }

    template <typename Call>
    static Kind failureOf(Call&& call)
    {
        try {
            call();
        } catch (const MediaError& error) {
            EXPECT_FALSE(error.localizedDescription().isEmpty());
            return error.kind();
        }
        ADD_FAILURE() << "no MediaError thrown";
        return Kind::cancelled;
    }

    static bool isRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60; }
    static bool isBlue(QRgb pixel) { return qBlue(pixel) > 200 && qRed(pixel) < 60 && qGreen(pixel) < 60; }

    inline static QTemporaryDir* clips_ = nullptr;
    TempFolder folder_;
    MediaTools tools_;
};
