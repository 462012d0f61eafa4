#include "pictor/retrieval/AssetImageGenerator.h"

#include "pictor/retrieval/LocalImageFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <QThreadPool>
#include <QTransform>

#include <cmath>

#include <unistd.h>

namespace pictor {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct DescriptorCloser {
    void operator()(const int* descriptor) const { ::close(*descriptor); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

int interruptRequested(void* opaque) { return static_cast<const std::stop_token*>(opaque)->stop_requested() ? 1 : 0; }

QString ffmpegError(int status)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(status, text, sizeof text);
    return QString::fromUtf8(text);
}

// The display matrix holds a counter-clockwise angle; the picture is turned back clockwise.
int clockwiseRotation(const AVStream* stream)
{
    const auto* matrix = reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return 0;
    const double angle = av_display_rotation_get(matrix);
    if (!std::isfinite(angle))
        return 0;
    const long quarterTurns = std::lround(-angle / 90.0);
    return int(((quarterTurns % 4) + 4) % 4) * 90;
}

QImage toImage(const AVFrame& frame)
{
    const std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format), frame.width,
                                                                         frame.height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return QImage();
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    uint8_t* const planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return image;
}

} // namespace

std::shared_ptr<AssetImageGenerator> AssetImageGenerator::create(QUrl assetURL)
{
    return std::shared_ptr<AssetImageGenerator>(new AssetImageGenerator(std::move(assetURL)));
}

std::stop_token AssetImageGenerator::currentToken() const
{
    std::lock_guard lock(mutex_);
    return stopSource_.get_token();
}

void AssetImageGenerator::cancelAllImageGeneration()
{
    std::lock_guard lock(mutex_);
    stopSource_.request_stop();
    stopSource_ = std::stop_source();
}

void AssetImageGenerator::generateImage(double seconds, Handler handler) const
{
    QThreadPool::globalInstance()->start([self = shared_from_this(), seconds, stop = currentToken(), handler = std::move(handler)] {
        handler(self->copyImage(seconds, stop));
    });
}

AssetImageGenerator::Generated AssetImageGenerator::copyImage(double seconds, std::stop_token stop) const
{
    const auto failed = [&](QString error) {
        return Generated{stop.stop_requested() ? Outcome::cancelled : Outcome::failed, QImage(), std::move(error)};
    };
    // A named movie is opened here, as a picture file is, so that a pipe never holds the worker:
    // FFmpeg then opens the very file this one is, through its descriptor.
    int descriptor = -1;
    if (assetURL_.isLocalFile()) {
        const Result<int, QString> named = LocalImageFile::open(assetURL_.toLocalFile());
        if (named.isFailure())
            return failed(QStringLiteral("cannot open %1: %2").arg(assetURL_.toString(), named.error()));
        descriptor = named.value();
    }
    const std::unique_ptr<int, DescriptorCloser> kept(descriptor < 0 ? nullptr : &descriptor);
    const QByteArray address = kept ? "file:/proc/self/fd/" + QByteArray::number(descriptor) : assetURL_.toEncoded();
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened)
        return failed(QStringLiteral("out of memory"));
    opened->interrupt_callback = {&interruptRequested, &stop};
    // Only the asset's own protocol: a playlist inside a file must not reach the network.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", assetURL_.isLocalFile() ? "file" : "http,https,tcp,tls,crypto", 0);
    int status = avformat_open_input(&opened, address.constData(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0)
        return failed(QStringLiteral("cannot open %1: %2").arg(assetURL_.toString(), ffmpegError(status)));
    const std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if ((status = avformat_find_stream_info(format.get(), nullptr)) < 0)
        return failed(QStringLiteral("cannot read %1: %2").arg(assetURL_.toString(), ffmpegError(status)));
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return failed(QStringLiteral("%1 has no video track").arg(assetURL_.toString()));
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    const std::unique_ptr<AVCodecContext, CodecFreer> decoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return failed(QStringLiteral("no decoder for the video track of %1").arg(assetURL_.toString()));
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = 0;
    if ((status = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
        return failed(QStringLiteral("cannot decode %1: %2").arg(assetURL_.toString(), ffmpegError(status)));

    // Seek to the key frame before the time, then decode up to the frame shown at that time.
    const double clamped = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t target = start + int64_t(std::floor(clamped / av_q2d(stream->time_base)));
    av_seek_frame(format.get(), index, target, AVSEEK_FLAG_BACKWARD);
    const std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    const std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    std::unique_ptr<AVFrame, FrameFreer> shown(av_frame_alloc());
    bool haveFrame = false;
    bool draining = false;
    while (!stop.stop_requested()) {
        if (!draining) {
            status = av_read_frame(format.get(), packet.get());
            if (status < 0) {
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else {
                if (packet->stream_index == index)
                    avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
            }
        }
        bool reached = false;
        while ((status = avcodec_receive_frame(decoder.get(), frame.get())) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            // The latest frame not after the time is the one shown at it.
            if (haveFrame && pts != AV_NOPTS_VALUE && pts > target) {
                reached = true;
                break;
            }
            av_frame_unref(shown.get());
            av_frame_move_ref(shown.get(), frame.get());
            haveFrame = true;
            if (pts != AV_NOPTS_VALUE && pts == target) {
                reached = true;
                break;
            }
        }
        if (reached || (draining && status == AVERROR_EOF))
            break;
    }
    if (stop.stop_requested())
        return Generated{Outcome::cancelled, QImage(), QStringLiteral("cancelled")};
    if (!haveFrame)
        return failed(QStringLiteral("no frame at %1 s in %2").arg(clamped).arg(assetURL_.toString()));
    QImage image = toImage(*shown);
    if (image.isNull())
        return failed(QStringLiteral("cannot convert the frame of %1").arg(assetURL_.toString()));
    const int rotation = appliesTransform_ ? clockwiseRotation(stream) : 0;
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    return Generated{Outcome::succeeded, std::move(image), QString()};
}

} // namespace pictor
