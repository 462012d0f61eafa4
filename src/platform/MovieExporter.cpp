#include "platform/MovieExporter.h"

#include "platform/MediaError.h"
#include "platform/MediaInput.h"
#include "platform/VideoTranscoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <new>

namespace {

bool movieAccepts(const AVStream* stream)
{
    return avformat_query_codec(av_guess_format("mov", nullptr, nullptr), stream->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
}

// Keeps the input's codec tag (hvc1 rather than hev1, for example) when the movie format knows
// it for the same codec; otherwise the muxer picks its own.
unsigned movieCodecTag(const AVFormatContext* output, const AVCodecParameters& source)
{
    const unsigned tag = source.codec_tag;
    return tag && av_codec_get_id(output->oformat->codec_tag, tag) == source.codec_id ? tag : 0;
}

// Stream side data carries rotation, HDR mastering and similar facts of the pictures. A
// re-encoded track keeps only the rotation: the rest described the original bitstream.
void copySideData(const AVStream* source, AVStream* target, bool rotationOnly)
{
    for (int i = 0; i < source->nb_side_data; ++i) {
        const AVPacketSideData& data = source->side_data[i];
        if (rotationOnly && data.type != AV_PKT_DATA_DISPLAYMATRIX)
            continue;
        uint8_t* copy = av_stream_new_side_data(target, data.type, data.size);
        if (!copy)
            throw std::bad_alloc();
        std::memcpy(copy, data.data, data.size);
    }
}

MediaError writeError(const QString& path, int status) { return MediaError::fromFfmpeg(MediaError::Kind::writeFailed, path, status); }

} // namespace

MovieExporter::MovieExporter(QString inputPath, QString outputPath, std::function<void(double)> progress, std::stop_token stop)
    : inputPath_(std::move(inputPath)), outputPath_(std::move(outputPath)), progress_(std::move(progress)), stop_(std::move(stop))
{
}

MovieExporter::~MovieExporter() { closeOutput(); }

void MovieExporter::run()
{
    // Opening the output truncates it: writing over the input would destroy the video.
    const QString canonicalInput = QFileInfo(inputPath_).canonicalFilePath();
    if (!canonicalInput.isEmpty() && canonicalInput == QFileInfo(outputPath_).canonicalFilePath())
        throw MediaError(MediaError::Kind::writeFailed, outputPath_ % QStringLiteral(" (the output is the input)"));
    const MediaInput input(inputPath_, stop_);
    if (!input.videoStream())
        throw MediaError(MediaError::Kind::noVideoTrack);
    try {
        exportWith(input);
    } catch (...) {
        closeOutput();
        if (createdFile_)
            QFile::remove(outputPath_);
        throw;
    }
}

// Stream copy of every kept track first; without the audio when only the audio was refused;
// re-encoding the video (audio left out, wallpapers play muted) when the video was refused.
std::vector<MovieExporter::Plan> MovieExporter::plans(const MediaInput& input) const
{
    std::vector<Plan> result;
    if (movieAccepts(input.videoStream())) {
        if (input.audioStream() && movieAccepts(input.audioStream()))
            result.push_back({.transcodeVideo = false, .keepAudio = true});
        result.push_back({.transcodeVideo = false, .keepAudio = false});
    }
    result.push_back({.transcodeVideo = true, .keepAudio = false});
    return result;
}

void MovieExporter::exportWith(const MediaInput& input)
{
    const std::vector<Plan> candidates = plans(input);
    for (size_t i = 0; i < candidates.size(); ++i) {
        const int status = openOutput(input, candidates[i]);
        if (status >= 0)
            break;
        input.throwIfStopped();
        if (i + 1 == candidates.size())
            throw MediaError::fromFfmpeg(MediaError::Kind::encodeFailed, QStringLiteral("movie format"), status);
    }
    copyPackets(input);
}

int MovieExporter::openOutput(const MediaInput& input, const Plan& plan)
{
    closeOutput();
    transcoder_.reset();
    if (plan.transcodeVideo)
        transcoder_ = std::make_unique<VideoTranscoder>(input);

    if (avformat_alloc_output_context2(&output_, nullptr, "mov", nullptr) < 0 || !output_)
        throw std::bad_alloc();
    // Writes give up on a stop just as the input's reads do.
    output_->interrupt_callback = input.context()->interrupt_callback;
    outputIndex_.assign(input.context()->nb_streams, -1);
    addTrack(input.videoStream(), plan.transcodeVideo);
    if (plan.keepAudio)
        addTrack(input.audioStream(), false);
    lastDts_.assign(output_->nb_streams, AV_NOPTS_VALUE);
    av_dict_copy(&output_->metadata, input.context()->metadata, 0);

    const QByteArray url = "file:" + QFile::encodeName(QFileInfo(outputPath_).absoluteFilePath());
    const int opened = avio_open2(&output_->pb, url.constData(), AVIO_FLAG_WRITE, &output_->interrupt_callback, nullptr);
    if (opened < 0) {
        input.throwIfStopped();
        throw writeError(outputPath_, opened);
    }
    createdFile_ = true;
    // Written in place, without moving the index to the front: the movie is played from a
    // local disk, and the extra pass would cost a full rewrite of the file.
    return avformat_write_header(output_, nullptr);
}

void MovieExporter::addTrack(const AVStream* source, bool transcoded)
{
    AVStream* track = avformat_new_stream(output_, nullptr);
    if (!track)
        throw std::bad_alloc();
    const int status = transcoded ? avcodec_parameters_from_context(track->codecpar, transcoder_->encoder())
                                  : avcodec_parameters_copy(track->codecpar, source->codecpar);
    if (status < 0)
        throw std::bad_alloc();
    if (transcoded) {
        track->time_base = transcoder_->encoder()->time_base;
    } else {
        track->codecpar->codec_tag = movieCodecTag(output_, *source->codecpar);
        track->time_base = source->time_base;
    }
    track->sample_aspect_ratio = track->codecpar->sample_aspect_ratio;
    track->avg_frame_rate = source->avg_frame_rate;
    track->r_frame_rate = source->r_frame_rate;
    track->disposition = source->disposition;
    av_dict_copy(&track->metadata, source->metadata, 0);
    copySideData(source, track, transcoded);
    outputIndex_[source->index] = track->index;
}

void MovieExporter::copyPackets(const MediaInput& input)
{
    AVFormatContext* context = input.context();
    const int64_t startOffset = context->start_time == AV_NOPTS_VALUE ? 0 : -context->start_time;
    const double duration = input.info().durationSeconds;
    const int videoIndex = input.videoStream()->index;
    const auto writeEncoded = [&](AVPacket* packet) {
        av_packet_rescale_ts(packet, transcoder_->encoder()->time_base, output_->streams[outputIndex_[videoIndex]]->time_base);
        write(packet, outputIndex_[videoIndex]);
    };

    PacketPtr packet = allocatePacket();
    for (;;) {
        input.throwIfStopped();
        const int status = av_read_frame(context, packet.get());
        if (status == AVERROR_EOF)
            break;
        if (status < 0) {
            input.throwIfStopped();
            throw MediaError::fromFfmpeg(MediaError::Kind::decodeFailed, inputPath_, status);
        }
        // Streams that appear mid-file are past the end of the map and left out with the rest.
        const int source = packet->stream_index;
        const int target = size_t(source) < outputIndex_.size() ? outputIndex_[size_t(source)] : -1;
        if (target < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        const AVStream* stream = context->streams[source];
        const int64_t shift = av_rescale_q(startOffset, AV_TIME_BASE_Q, stream->time_base);
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += shift;
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts += shift;
        reportProgress(*packet, *stream, duration);
        if (transcoder_ && source == videoIndex) {
            transcoder_->send(packet.get(), writeEncoded);
            av_packet_unref(packet.get());
        } else {
            av_packet_rescale_ts(packet.get(), stream->time_base, output_->streams[target]->time_base);
            write(packet.get(), target);
        }
    }
    if (transcoder_)
        transcoder_->finish(writeEncoded);

    int status = av_write_trailer(output_);
    if (status >= 0)
        status = avio_closep(&output_->pb);
    if (status < 0) {
        input.throwIfStopped();
        throw writeError(outputPath_, status);
    }
    closeOutput();
    if (progress_)
        progress_(1.0);
}

// Hands the packet to the muxer, which takes its data. Decoding times must rise strictly in a
// movie; a damaged input that repeats one is nudged forward, as FFmpeg's own tool does.
void MovieExporter::write(AVPacket* packet, int outputIndex)
{
    int64_t& last = lastDts_[size_t(outputIndex)];
    if (packet->dts != AV_NOPTS_VALUE && last != AV_NOPTS_VALUE && packet->dts <= last) {
        packet->dts = last + 1;
        if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts)
            packet->pts = packet->dts;
    }
    if (packet->dts != AV_NOPTS_VALUE)
        last = packet->dts;
    packet->stream_index = outputIndex;
    packet->pos = -1;
    const int status = av_interleaved_write_frame(output_, packet);
    if (status < 0) {
        if (stop_.stop_requested())
            throw MediaError(MediaError::Kind::cancelled);
        throw writeError(outputPath_, status);
    }
}

// Whole percents below 100, so the caller sees 1 only once the movie is complete.
void MovieExporter::reportProgress(const AVPacket& packet, const AVStream& source, double durationSeconds)
{
    const int64_t timestamp = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (!progress_ || durationSeconds <= 0 || timestamp == AV_NOPTS_VALUE)
        return;
    const double fraction = double(timestamp) * av_q2d(source.time_base) / durationSeconds;
    const int percent = std::isfinite(fraction) ? int(std::clamp(fraction, 0.0, 0.99) * 100) : 0;
    if (percent <= lastPercent_)
        return;
    lastPercent_ = percent;
    progress_(percent / 100.0);
}

void MovieExporter::closeOutput()
{
    if (!output_)
        return;
    avio_closep(&output_->pb);
    avformat_free_context(output_);
    output_ = nullptr;
}
