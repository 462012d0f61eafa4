#include "platform/MediaTools.h"

#include "foundation/AwaitWork.h"
#include "foundation/Shared.h"
#include "platform/MediaError.h"
#include "platform/MediaInput.h"
#include "platform/MovieExporter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <QBuffer>
#include <QCoro/QCoroFuture>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTransform>
#include <QUnhandledException>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

// Far beyond any video, and small enough to convert to stream ticks without overflow.
constexpr double kLatestSeekSeconds = 1e7;
constexpr double kInstantSlackSeconds = 1e-6;
// How far the last video packet may end before the stated length (edit lists, rounding).
constexpr double kEndSlackSeconds = 0.5;

// A movie file's index lists every sample with where its bytes lie, whether the file holds them
// or not. When the video samples listed reach `stated`, the file plays to its end exactly when
// every listed sample lies within it: nothing needs reading. Empty when the index cannot tell
// (another container, a fragmented movie whose samples are listed as its fragments are read):
// the packets are read then.
std::optional<bool> playsToEndByIndex(AVFormatContext* context, AVStream* video, double stated)
{
    if (!context->iformat || std::strncmp(context->iformat->name, "mov,", 4) != 0)
        return std::nullopt;
    const int videoSamples = avformat_index_get_entries_count(video);
    if (videoSamples < 2 || stated <= 0)
        return std::nullopt;
    const AVIndexEntry* first = avformat_index_get_entry(video, 0);
    const AVIndexEntry* last = avformat_index_get_entry(video, videoSamples - 1);
    // The last sample lasts as long as the others on average.
    const double step = double(last->timestamp - first->timestamp) / (videoSamples - 1);
    const int64_t start = video->start_time == AV_NOPTS_VALUE ? 0 : video->start_time;
    if ((double(last->timestamp - start) + step) * av_q2d(video->time_base) < stated - kEndSlackSeconds)
        return std::nullopt;
    const int64_t fileBytes = avio_size(context->pb);
    if (fileBytes < 0)
        return std::nullopt;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream* stream = context->streams[i];
        const int samples = avformat_index_get_entries_count(stream);
        for (int n = 0; n < samples; ++n) {
            const AVIndexEntry* sample = avformat_index_get_entry(stream, n);
            if (sample->pos < 0 || sample->pos + sample->size > fileBytes)
                return false;
        }
    }
    return true;
}

// The first frame decoded after a seek, and the frame that answers the request.
struct DecodedRun {
    FramePtr frame;
    int64_t firstTimestamp = AV_NOPTS_VALUE;
};

// Receives every frame the decoder has ready into `run`; true once a frame at or after `target`
// arrived.
bool receiveFrames(AVCodecContext* decoder, int64_t target, AVFrame* scratch, DecodedRun& run)
{
    while (avcodec_receive_frame(decoder, scratch) >= 0) {
        const int64_t timestamp = scratch->best_effort_timestamp;
        if (run.firstTimestamp == AV_NOPTS_VALUE)
            run.firstTimestamp = timestamp;
        if (!run.frame)
            run.frame = allocateFrame();
        av_frame_unref(run.frame.get());
        av_frame_move_ref(run.frame.get(), scratch);
        if (timestamp != AV_NOPTS_VALUE && timestamp >= target)
            return true;
    }
    return false;
}

// Decodes forward from the demuxer's position until the first frame at or after `target`, or to
// the end of the stream, keeping the last frame seen. Damaged packets are skipped, as players do.
DecodedRun decodeUntil(const MediaInput& input, AVCodecContext* decoder, int64_t target)
{
    const int videoIndex = input.videoStream()->index;
    DecodedRun run;
    FramePtr scratch = allocateFrame();
    PacketPtr packet = allocatePacket();
    while (av_read_frame(input.context(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == videoIndex;
        const bool sent = ours && avcodec_send_packet(decoder, packet.get()) >= 0;
        av_packet_unref(packet.get());
        if (sent && receiveFrames(decoder, target, scratch.get(), run))
            return run;
    }
    avcodec_send_packet(decoder, nullptr);
    receiveFrames(decoder, target, scratch.get(), run);
    return run;
}

// Decodes the frame at or after `target`. A freshly opened input stands at its beginning, so an
// instant at the start needs no seek. Otherwise it seeks to the keyframe before the target and
// decodes forward; some formats place a seek by decoding time or by byte estimates and land
// after the target, so it steps back further, and last rewinds to byte 0, until the first
// frame decoded is not later than the target.
FramePtr decodeFrameAt(const MediaInput& input, AVCodecContext* decoder, int64_t target)
{
    const AVStream* stream = input.videoStream();
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    if (target <= start)
        return decodeUntil(input, decoder, target).frame;

    int64_t seekPoint = target;
    int64_t stepBack = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, stream->time_base));
    bool rewindToFirstByte = false;
    DecodedRun best;
    for (;;) {
        const bool seeked = rewindToFirstByte
            ? av_seek_frame(input.context(), -1, 0, AVSEEK_FLAG_BYTE) >= 0
            : av_seek_frame(input.context(), stream->index, seekPoint, AVSEEK_FLAG_BACKWARD) >= 0;
        // Without a seek the demuxer is still where it was; a retry could not go back.
        if (!seeked && best.frame)
            return std::move(best.frame);
        avcodec_flush_buffers(decoder);
        DecodedRun run = decodeUntil(input, decoder, target);
        const bool startedLate = run.firstTimestamp != AV_NOPTS_VALUE && run.firstTimestamp > target;
        if (run.frame && (!best.frame || !startedLate || run.firstTimestamp < best.firstTimestamp))
            best = std::move(run);
        if ((best.frame && !startedLate) || !seeked || rewindToFirstByte)
            return std::move(best.frame);
        if (seekPoint <= start)
            rewindToFirstByte = true;
        seekPoint = std::max(start, seekPoint - stepBack);
        stepBack *= 2;
    }
}

// Full-range "J" formats are deprecated in swscale; the plain format with a full-range flag
// gives the same pixels.
AVPixelFormat withoutFullRangeAlias(AVPixelFormat format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
    }
}

QSize fittedUprightSize(const AVFrame& frame, AVRational aspect, int rotation, QSize bounds)
{
    int width = frame.width;
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den)
        width = int(std::lround(width * av_q2d(aspect)));
    QSize upright = rotation % 180 == 0 ? QSize(width, frame.height) : QSize(frame.height, width);
    if (bounds.isValid() && (upright.width() > bounds.width() || upright.height() > bounds.height()))
        upright = upright.scaled(bounds, Qt::KeepAspectRatio);
    return upright.expandedTo(QSize(1, 1));
}

// Converts a decoded frame to an upright QImage: widened for non-square pixels, fitted within
// `bounds`, colours converted with the matrix and range the video was made with.
QImage toImage(const AVFrame& frame, AVRational aspect, int rotation, QSize bounds)
{
    const QSize upright = fittedUprightSize(frame, aspect, rotation, bounds);
    const QSize scaled = rotation % 180 == 0 ? upright : upright.transposed();
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = withoutFullRangeAlias(AVPixelFormat(frame.format), fullRange);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor)
        throw MediaError(MediaError::Kind::decodeFailed, QStringLiteral("unknown pixel format"));
    const bool hasAlpha = (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;

    // AV_PIX_FMT_RGB32 is 0xAARRGGBB in native byte order, the layout of QImage's 32-bit formats.
    const ScalerPtr scaler(sws_getContext(frame.width, frame.height, format, scaled.width(), scaled.height(),
        AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler)
        throw MediaError(MediaError::Kind::decodeFailed,
            QStringLiteral("cannot convert pixel format ") % QString::fromUtf8(descriptor->name));
    // Unlabelled video follows the usual convention: HD and larger is BT.709, smaller is BT.601.
    const int matrix = frame.colorspace != AVCOL_SPC_UNSPECIFIED ? frame.colorspace
        : frame.height >= 720                                    ? SWS_CS_ITU709
                                                                 : SWS_CS_ITU601;
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(matrix), fullRange ? 1 : 0,
        sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

    QImage image(scaled, hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        throw MediaError(MediaError::Kind::decodeFailed, QStringLiteral("frame too large"));
    uint8_t* const planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return rotation == 0 ? image : image.transformed(QTransform().rotate(rotation));
}

QImage readImage(QImageReader& reader)
{
    // Pictures taken with a camera carry their orientation; the PNG is stored upright.
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        throw MediaError(MediaError::Kind::notAnImage, reader.errorString());
    return image;
}

// QSaveFile: a reader of the PNG never sees a half-written file, and a failed write leaves the
// previous file in place.
void writePng(const QImage& image, const QString& outputPath)
{
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly))
        throw MediaError(MediaError::Kind::writeFailed, outputPath % QStringLiteral(" (") % file.errorString() % QLatin1Char(')'));
    QImageWriter writer(&file, "png");
    if (!writer.write(image))
        throw MediaError(MediaError::Kind::writeFailed, outputPath % QStringLiteral(" (") % writer.errorString() % QLatin1Char(')'));
    if (!file.commit())
        throw MediaError(MediaError::Kind::writeFailed, outputPath % QStringLiteral(" (") % file.errorString() % QLatin1Char(')'));
}

} // namespace

MediaTools& MediaTools::shared() { return Shared<MediaTools>::instance(); }

MediaInfo MediaTools::probe(const QString& path) const { return MediaInput(path).info(); }

bool MediaTools::playsToEnd(const QString& path) const { return playsToEnd(MediaInput(path)); }

bool MediaTools::playsToEnd(const MediaInput& input)
{
    const AVStream* stream = input.videoStream();
    if (!stream || stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return false;
    const double tick = av_q2d(stream->time_base);
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const double stated = stream->duration != AV_NOPTS_VALUE && stream->duration > 0 ? double(stream->duration) * tick
        : input.context()->duration > 0                                           ? double(input.context()->duration) / AV_TIME_BASE
                                                                                  : 0;
    if (const std::optional<bool> verdict = playsToEndByIndex(input.context(), input.videoStream(), stated))
        return *verdict;
    double reached = 0;
    PacketPtr packet = allocatePacket();
    int status = 0;
    while ((status = av_read_frame(input.context(), packet.get())) >= 0) {
        // A packet whose bytes ran past the end of the file comes back marked, not failed.
        const bool cut = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        if (packet->stream_index == stream->index && packet->pts != AV_NOPTS_VALUE)
            reached = std::max(reached, double(packet->pts - start + std::max<int64_t>(packet->duration, 0)) * tick);
        av_packet_unref(packet.get());
        if (cut)
            return false;
    }
    return status == AVERROR_EOF && reached >= stated - kEndSlackSeconds;
}

QImage MediaTools::frameAt(const QString& path, double seconds, QSize bounds) const
{
    const MediaInput input(path);
    const CodecContextPtr decoder = input.openVideoDecoder();
    AVStream* stream = input.videoStream();
    if (stream->time_base.num <= 0 || stream->time_base.den <= 0)
        throw MediaError(MediaError::Kind::decodeFailed, QStringLiteral("the video track has no time base"));
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.0, kLatestSeekSeconds) : 0.0;
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    // Rounded up: a frame stamped before the requested instant never answers it. One microsecond
    // of slack keeps a caller's rounding (59 / 30.0 for frame 59) from skipping the frame.
    const int64_t target = start + int64_t(std::ceil((clamped - kInstantSlackSeconds) / av_q2d(stream->time_base)));
    const FramePtr frame = decodeFrameAt(input, decoder.get(), target);
    if (!frame)
        throw MediaError(MediaError::Kind::decodeFailed, input.path());
    const AVRational aspect = av_guess_sample_aspect_ratio(input.context(), stream, frame.get());
    return toImage(*frame, aspect, input.info().rotation, bounds);
}

void MediaTools::exportMovie(const QString& inputPath, const QString& outputPath, const ProgressHandler& progress,
    std::stop_token stop) const
{
    MovieExporter(inputPath, outputPath, progress, std::move(stop)).run();
}

void MediaTools::convertImageDataToPng(const QByteArray& data, const QString& outputPath) const
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    writePng(readImage(reader), outputPath);
}

void MediaTools::convertImageFileToPng(const QString& inputPath, const QString& outputPath) const
{
    if (!QFileInfo::exists(inputPath))
        throw MediaError(MediaError::Kind::fileNotFound, inputPath);
    QImageReader reader(inputPath);
    writePng(readImage(reader), outputPath);
}

QCoro::Task<MediaInfo> MediaTools::probeAsync(QString path) const
{
    return awaitWork(QtConcurrent::run([this, path] { return probe(path); }));
}

QCoro::Task<bool> MediaTools::playsToEndAsync(QString path) const
{
    return awaitWork(QtConcurrent::run([this, path] { return playsToEnd(path); }));
}

QCoro::Task<QImage> MediaTools::frameAtAsync(QString path, double seconds, QSize bounds) const
{
    return awaitWork(QtConcurrent::run([this, path, seconds, bounds] { return frameAt(path, seconds, bounds); }));
}

QCoro::Task<> MediaTools::exportMovieAsync(QString inputPath, QString outputPath, ProgressHandler progress,
    std::stop_token stop) const
{
    return awaitWork(QtConcurrent::run([this, inputPath, outputPath, progress, stop] {
        exportMovie(inputPath, outputPath, progress, stop);
    }));
}

QCoro::Task<> MediaTools::convertImageDataToPngAsync(QByteArray data, QString outputPath) const
{
    return awaitWork(QtConcurrent::run([this, data, outputPath] { convertImageDataToPng(data, outputPath); }));
}
