#pragma once

#include <QCoro/QCoroTask>
#include <QFuture>
#include <QString>

#include <memory>
#include <optional>
#include <stop_token>
#include <thread>

class GrowingFile;
class HttpBodyTap;

// Whether a video being downloaded plays to its end (MediaTools::playsToEnd), found while its
// bytes arrive: a demuxer on a thread of its own reads the body as the transfer writes it
// (GrowingFile), mostly from the blocks just written, so the finished file is not read a
// second time. The verdict stands only for the file as stored: when the demuxer could not see
// it so (the transfer failed, or the file ended at another size than the one announced) there
// is none, and the caller checks the stored file itself. Made and awaited on one thread.
class GrowingVideoCheck {
public:
    // `label` names the file in FFmpeg's errors.
    explicit GrowingVideoCheck(QString label);
    // Ends the reading and waits for the thread.
    ~GrowingVideoCheck();
    GrowingVideoCheck(const GrowingVideoCheck&) = delete;
    GrowingVideoCheck& operator=(const GrowingVideoCheck&) = delete;

    // What the download hands its body to (Http::download).
    std::shared_ptr<HttpBodyTap> tap() const;
    // Once the transfer ended: true for a video that plays to its end, false for any other
    // body, nothing when what was read is not known to be the stored file.
    QCoro::Task<std::optional<bool>> verdict();

private:
    static bool playsToEnd(GrowingFile& file, const QString& label, std::stop_token stop);

    std::shared_ptr<GrowingFile> file_;
    QFuture<bool> result_;
    std::jthread thread_; // last: joined before the rest goes
};
