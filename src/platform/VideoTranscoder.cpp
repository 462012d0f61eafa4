#include "platform/VideoTranscoder.h"

#include "platform/MediaError.h"
#include "platform/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <new>

namespace {

// 4:2:0 at 8 bits plays everywhere, whatever the source used.
constexpr AVPixelFormat kEncodedFormat = AV_PIX_FMT_YUV420P;

// libx264 at a near-transparent quality; preset "fast" keeps a 4K re-encode to a few times
// real time. MPEG-4 Part 2 at a fixed fine quantiser is the fallback built into libavcodec.
void applyQuality(AVCodecContext* encoder, AVDictionary** options)
{
    if (encoder->codec_id == AV_CODEC_ID_H264) {
        av_dict_set(options, "preset", "fast", 0);
        av_dict_set(options, "crf", "18", 0);
    } else {
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = FF_QP2LAMBDA * 2;
    }
}

CodecContextPtr openEncoder(const AVCodecContext& decoder, const AVStream& stream, AVRational frameRate)
{
    for (const char* name : {"libx264", "mpeg4"}) {
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (!codec)
            continue;
        CodecContextPtr encoder(avcodec_alloc_context3(codec));
        if (!encoder)
            throw std::bad_alloc();
        // 4:2:0 pictures have even sides; an odd source loses its last row or column.
        encoder->width = std::max(2, decoder.width & ~1);
        encoder->height = std::max(2, decoder.height & ~1);
        encoder->sample_aspect_ratio = decoder.sample_aspect_ratio;
        encoder->pix_fmt = kEncodedFormat;
        encoder->color_range = AVCOL_RANGE_MPEG;
        encoder->colorspace = decoder.colorspace;
        encoder->color_primaries = decoder.color_primaries;
        encoder->color_trc = decoder.color_trc;
        encoder->time_base = stream.time_base;
        encoder->framerate = frameRate;
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        encoder->thread_count = 0; // one per core
        AVDictionary* options = nullptr;
        applyQuality(encoder.get(), &options);
        const int status = avcodec_open2(encoder.get(), codec, &options);
        av_dict_free(&options);
        if (status >= 0)
            return encoder;
    }
    throw MediaError(MediaError::Kind::encodeFailed, QStringLiteral("no H.264 or MPEG-4 encoder could be opened"));
}

MediaError encodeError(int status) { return MediaError::fromFfmpeg(MediaError::Kind::encodeFailed, QStringLiteral("encoder"), status); }

} // namespace

VideoTranscoder::VideoTranscoder(const MediaInput& input)
    : decoder_(input.openVideoDecoder()),
      decoded_(allocateFrame()),
      converted_(allocateFrame()),
      encoded_(allocatePacket()),
      lastTimestamp_(AV_NOPTS_VALUE)
{
    const AVStream& stream = *input.videoStream();
    if (decoder_->width <= 0 || decoder_->height <= 0)
        throw MediaError(MediaError::Kind::decodeFailed, QStringLiteral("the video track states no picture size"));
    encoder_ = openEncoder(*decoder_, stream, av_guess_frame_rate(input.context(), input.videoStream(), nullptr));
}

VideoTranscoder::~VideoTranscoder() = default;

void VideoTranscoder::send(const AVPacket* packet, const PacketSink& sink)
{
    if (avcodec_send_packet(decoder_.get(), packet) < 0)
        return;
    encodeReadyFrames(sink);
}

void VideoTranscoder::finish(const PacketSink& sink)
{
    avcodec_send_packet(decoder_.get(), nullptr);
    encodeReadyFrames(sink);
    encode(nullptr, sink);
}

void VideoTranscoder::encodeReadyFrames(const PacketSink& sink)
{
    while (avcodec_receive_frame(decoder_.get(), decoded_.get()) >= 0) {
        // The encoder needs rising timestamps; a damaged stream can repeat or lose them.
        const int64_t timestamp = decoded_->best_effort_timestamp;
        if (timestamp != AV_NOPTS_VALUE && (lastTimestamp_ == AV_NOPTS_VALUE || timestamp > lastTimestamp_)) {
            lastTimestamp_ = timestamp;
            AVFrame* frame = converted(decoded_.get());
            frame->pts = timestamp;
            frame->pict_type = AV_PICTURE_TYPE_NONE;
            encode(frame, sink);
        }
        av_frame_unref(decoded_.get());
    }
}

// The frame in the encoder's size and pixel format, converted when the decoder gives anything else
// (another format, full-range levels, or a picture size that changed mid-stream).
AVFrame* VideoTranscoder::converted(AVFrame* frame)
{
    const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    if (frame->format == kEncodedFormat && !fullRange && frame->width == encoder_->width && frame->height == encoder_->height)
        return frame;
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame->width, frame->height, AVPixelFormat(frame->format),
        encoder_->width, encoder_->height, kEncodedFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_)
        throw MediaError(MediaError::Kind::encodeFailed, QStringLiteral("cannot convert the video's pixel format"));
    const int* matrix = sws_getCoefficients(frame->colorspace);
    sws_setColorspaceDetails(scaler_.get(), matrix, fullRange ? 1 : 0, matrix, 0, 0, 1 << 16, 1 << 16);
    // A fresh buffer per frame: the encoder may still hold the previous one.
    av_frame_unref(converted_.get());
    converted_->format = kEncodedFormat;
    converted_->width = encoder_->width;
    converted_->height = encoder_->height;
    if (av_frame_get_buffer(converted_.get(), 0) < 0)
        throw std::bad_alloc();
    av_frame_copy_props(converted_.get(), frame);
    converted_->color_range = AVCOL_RANGE_MPEG;
    sws_scale(scaler_.get(), frame->data, frame->linesize, 0, frame->height, converted_->data, converted_->linesize);
    return converted_.get();
}

void VideoTranscoder::encode(AVFrame* frame, const PacketSink& sink)
{
    int status = avcodec_send_frame(encoder_.get(), frame);
    if (status < 0)
        throw encodeError(status);
    while ((status = avcodec_receive_packet(encoder_.get(), encoded_.get())) >= 0) {
        sink(encoded_.get());
        av_packet_unref(encoded_.get());
    }
    if (status != AVERROR(EAGAIN) && status != AVERROR_EOF)
        throw encodeError(status);
}
