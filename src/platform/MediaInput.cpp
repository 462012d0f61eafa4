#include "platform/MediaInput.h"

#include "platform/MediaError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <new>

namespace {

int interruptRequested(void* opaque) { return static_cast<const std::stop_token*>(opaque)->stop_requested() ? 1 : 0; }

bool isCoverPicture(const AVStream* stream) { return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0; }

// FFmpeg's choice of video track, unless it picked a cover picture (an MP3's album art is not a
// video): then the first real video track.
int mainVideoIndex(AVFormatContext* context)
{
    const int best = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && !isCoverPicture(context->streams[best]))
        return best;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isCoverPicture(stream))
            return int(i);
    }
    return -1;
}

// The display matrix stores a counter-clockwise angle; viewers turn the picture back clockwise.
int clockwiseRotation(const AVStream* stream)
{
    const auto* matrix = reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return 0;
    const double counterClockwise = av_display_rotation_get(matrix);
    if (!std::isfinite(counterClockwise))
        return 0;
    const long quarterTurns = std::lround(-counterClockwise / 90.0);
    return int(((quarterTurns % 4) + 4) % 4) * 90;
}

double durationSeconds(const AVFormatContext* context)
{
    if (context->duration > 0)
        return double(context->duration) / AV_TIME_BASE;
    double longest = 0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->duration > 0)
            longest = std::max(longest, double(stream->duration) * av_q2d(stream->time_base));
    }
    return std::isfinite(longest) ? longest : 0;
}

} // namespace

MediaInput::MediaInput(const QString& path, std::stop_token stop) : path_(path), stop_(std::move(stop))
{
    const QFileInfo file(path);
    if (!file.exists())
        throw MediaError(MediaError::Kind::fileNotFound, path);
    // The explicit protocol keeps a colon in a file name from being read as a protocol name.
    open("file:" + QFile::encodeName(file.absoluteFilePath()), nullptr);
}

MediaInput::MediaInput(AVIOContext* io, const QString& label, std::stop_token stop) : path_(label), stop_(std::move(stop))
{
    open(QByteArray(), io);
}

void MediaInput::open(const QByteArray& url, AVIOContext* io)
{
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        throw std::bad_alloc();
    context->interrupt_callback = {&interruptRequested, &stop_};
    if (io) {
        context->pb = io;
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // A playlist or reference file must not make the demuxer open network addresses or
    // other protocols: only plain local files are read.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int status = avformat_open_input(&context, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0) { // avformat_open_input has freed the context
        throwIfStopped();
        throw MediaError::fromFfmpeg(MediaError::Kind::unreadable, path_, status);
    }
    context_.reset(context);

    status = avformat_find_stream_info(context, nullptr);
    if (status < 0) {
        throwIfStopped();
        throw MediaError::fromFfmpeg(MediaError::Kind::unreadable, path_, status);
    }
    videoIndex_ = mainVideoIndex(context);
    audioIndex_ = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, videoIndex_, nullptr, 0);
}

AVStream* MediaInput::videoStream() const { return videoIndex_ >= 0 ? context_->streams[videoIndex_] : nullptr; }

AVStream* MediaInput::audioStream() const { return audioIndex_ >= 0 ? context_->streams[audioIndex_] : nullptr; }

MediaInfo MediaInput::info() const
{
    MediaInfo info;
    info.durationSeconds = durationSeconds(context_.get());
    AVStream* stream = videoStream();
    if (!stream)
        return info;
    info.hasVideoTrack = true;
    info.codecName = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
    int width = stream->codecpar->width;
    const AVRational aspect = av_guess_sample_aspect_ratio(context_.get(), stream, nullptr);
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den)
        width = int(std::lround(width * av_q2d(aspect)));
    info.naturalSize = QSize(width, stream->codecpar->height);
    info.rotation = clockwiseRotation(stream);
    const AVRational rate = av_guess_frame_rate(context_.get(), stream, nullptr);
    if (rate.num > 0 && rate.den > 0)
        info.frameRate = av_q2d(rate);
    return info;
}

CodecContextPtr MediaInput::openVideoDecoder() const
{
    const AVStream* stream = videoStream();
    if (!stream)
        throw MediaError(MediaError::Kind::noVideoTrack);
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw MediaError(MediaError::Kind::decodeFailed,
            QStringLiteral("no decoder for ") % QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id)));
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        throw std::bad_alloc();
    int status = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (status >= 0) {
        decoder->pkt_timebase = stream->time_base;
        decoder->thread_count = 0; // one per core
        status = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (status < 0)
        throw MediaError::fromFfmpeg(MediaError::Kind::decodeFailed, path_, status);
    return decoder;
}

void MediaInput::throwIfStopped() const
{
    if (stop_.stop_requested())
        throw MediaError(MediaError::Kind::cancelled);
}
