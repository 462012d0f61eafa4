#pragma once

#include "platform/FfmpegDeleter.h"

#include <cstdint>
#include <functional>

class MediaInput;

// Re-encodes the main video track of an input as H.264 (libx264; FFmpeg's own MPEG-4 Part 2
// encoder when libx264 is missing) for a container that cannot hold the original codec. Frames
// keep their timestamps in the input track's time base, which is also the encoder's. Headers go
// into the codec parameters (global header), as movie files need. One thread at a time.
class VideoTranscoder {
public:
    // Receives each encoded packet, in the encoder's time base; it may take the packet's data.
    using PacketSink = std::function<void(AVPacket* packet)>;

    // Throws MediaError: noVideoTrack, decodeFailed, encodeFailed.
    explicit VideoTranscoder(const MediaInput& input);
    ~VideoTranscoder();
    VideoTranscoder(const VideoTranscoder&) = delete;
    VideoTranscoder& operator=(const VideoTranscoder&) = delete;

    const AVCodecContext* encoder() const { return encoder_.get(); }
    // Decodes one packet of the video track and encodes the frames it yields; a damaged packet
    // is skipped. Throws MediaError(encodeFailed).
    void send(const AVPacket* packet, const PacketSink& sink);
    // Drains the decoder and the encoder. Throws MediaError(encodeFailed).
    void finish(const PacketSink& sink);

private:
    void encodeReadyFrames(const PacketSink& sink);
    void encode(AVFrame* frame, const PacketSink& sink);
    AVFrame* converted(AVFrame* frame);

    CodecContextPtr decoder_;
    CodecContextPtr encoder_;
    ScalerPtr scaler_;
    FramePtr decoded_;
    FramePtr converted_;
    PacketPtr encoded_;
    int64_t lastTimestamp_;
};
