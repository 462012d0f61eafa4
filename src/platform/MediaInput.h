#pragma once

#include "platform/FfmpegDeleter.h"
#include "platform/MediaInfo.h"

#include <QString>

#include <stop_token>

struct AVIOContext;
struct AVStream;

// One local media file opened for reading: the demuxer with its stream information read, and
// the main video and audio tracks. Every media operation opens its own, so calls on several
// threads share nothing. Blocking reads give up (AVERROR_EXIT) once `stop` is requested.
class MediaInput {
public:
    // Throws MediaError: fileNotFound, unreadable, cancelled.
    explicit MediaInput(const QString& path, std::stop_token stop = {});
    // The media that `io` reads (which must outlive this object), named `label` in errors.
    // Throws MediaError: unreadable, cancelled.
    MediaInput(AVIOContext* io, const QString& label, std::stop_token stop = {});
    // Not movable either: the demuxer's interrupt callback points at stop_.
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;

    const QString& path() const { return path_; }
    AVFormatContext* context() const { return context_.get(); }
    // The main video track (cover pictures do not count), nullptr when there is none.
    AVStream* videoStream() const;
    // The main audio track, nullptr when there is none.
    AVStream* audioStream() const;
    MediaInfo info() const;
    // A decoder for the main video track. Throws MediaError: noVideoTrack, decodeFailed.
    CodecContextPtr openVideoDecoder() const;
    // Throws MediaError(cancelled) once a stop was requested.
    void throwIfStopped() const;

private:
    // Opens `url` (through `io` when given) and reads the stream information.
    void open(const QByteArray& url, AVIOContext* io);

    QString path_;
    std::stop_token stop_;
    InputContextPtr context_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
};
