#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

class MediaInput;
class VideoTranscoder;
struct AVFormatContext;
struct AVPacket;
struct AVStream;

// Writes one video file as a QuickTime movie, for MediaTools::exportMovie. The tracks are
// copied packet for packet (timestamps kept, moved to start at zero as players expect); when
// the movie format refuses a track, the audio is left out and then the video re-encoded.
// One use, on one thread.
class MovieExporter {
public:
    MovieExporter(QString inputPath, QString outputPath, std::function<void(double)> progress, std::stop_token stop);
    ~MovieExporter();
    MovieExporter(const MovieExporter&) = delete;
    MovieExporter& operator=(const MovieExporter&) = delete;

    // Throws MediaError. Once the output file was created, a failure or a stop removes it.
    void run();

private:
    struct Plan {
        bool transcodeVideo = false;
        bool keepAudio = false;
    };

    std::vector<Plan> plans(const MediaInput& input) const;
    void exportWith(const MediaInput& input);
    // The status of writing the movie's header: negative when the format refuses the tracks.
    int openOutput(const MediaInput& input, const Plan& plan);
    void addTrack(const AVStream* source, bool transcoded);
    void copyPackets(const MediaInput& input);
    void write(AVPacket* packet, int outputIndex);
    void reportProgress(const AVPacket& packet, const AVStream& source, double durationSeconds);
    void closeOutput();

    QString inputPath_;
    QString outputPath_;
    std::function<void(double)> progress_;
    std::stop_token stop_;
    AVFormatContext* output_ = nullptr;
    bool createdFile_ = false;
    std::unique_ptr<VideoTranscoder> transcoder_;
    std::vector<int> outputIndex_;   // by input stream index; -1 for a track left out
    std::vector<int64_t> lastDts_;   // by output stream index
    int lastPercent_ = -1;
};
