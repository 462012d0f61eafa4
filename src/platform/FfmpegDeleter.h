#pragma once

#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Frees FFmpeg's C objects, so every exit path of a media operation (errors included) releases
// them. An AVFormatContext given here is an input (closed with avformat_close_input).
struct FfmpegDeleter {
    void operator()(AVFormatContext* context) const;
    void operator()(AVCodecContext* context) const;
    void operator()(AVFrame* frame) const;
    void operator()(AVPacket* packet) const;
    void operator()(SwsContext* context) const;
};

using InputContextPtr = std::unique_ptr<AVFormatContext, FfmpegDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, FfmpegDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FfmpegDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, FfmpegDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, FfmpegDeleter>;

// A fresh frame or packet; throws std::bad_alloc when FFmpeg cannot allocate one.
FramePtr allocateFrame();
PacketPtr allocatePacket();
