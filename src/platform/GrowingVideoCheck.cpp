#include "platform/GrowingVideoCheck.h"

#include "platform/GrowingFile.h"
#include "platform/MediaError.h"
#include "platform/MediaInput.h"
#include "platform/MediaTools.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <QCoro/QCoroFuture>
#include <QPromise>

#include <cstdio>
#include <new>

namespace {

// A download's block (packets larger than this bypass the buffer): each read takes the growing
// file's lock, so one per block rather than eight.
constexpr int kBufferBytes = 256 << 10;

// The demuxer's view of the growing file: a position in it.
struct Reader {
    GrowingFile& file;
    int64_t position = 0;
};

int readPacket(void* opaque, uint8_t* buffer, int size)
{
    auto* reader = static_cast<Reader*>(opaque);
    const qint64 read = reader->file.read(reader->position, reinterpret_cast<char*>(buffer), size);
    if (read == 0)
        return AVERROR_EOF;
    if (read < 0)
        return AVERROR_EXIT;
    reader->position += read;
    return int(read);
}

int64_t seek(void* opaque, int64_t offset, int whence)
{
    auto* reader = static_cast<Reader*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE || whence == SEEK_END) {
        const qint64 size = reader->file.size();
        if (size < 0)
            return AVERROR_EXIT;
        if (whence == AVSEEK_SIZE)
            return size;
        offset += size;
    } else if (whence == SEEK_CUR) {
        offset += reader->position;
    } else if (whence != SEEK_SET) {
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    reader->position = offset;
    return offset;
}

// FFmpeg's reading context over `reader`, freed with its buffer.
struct IoDeleter {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

} // namespace

GrowingVideoCheck::GrowingVideoCheck(QString label) : file_(std::make_shared<GrowingFile>())
{
    QPromise<bool> promise;
    result_ = promise.future();
    thread_ = std::jthread([file = file_, label = std::move(label), promise = std::move(promise)](std::stop_token stop) mutable {
        promise.start();
        try {
            promise.addResult(playsToEnd(*file, label, stop));
        } catch (...) {
            promise.setException(std::current_exception());
        }
        file->readingDone();
        promise.finish();
    });
}

GrowingVideoCheck::~GrowingVideoCheck() { file_->cancel(); }

std::shared_ptr<HttpBodyTap> GrowingVideoCheck::tap() const { return file_; }

QCoro::Task<std::optional<bool>> GrowingVideoCheck::verdict()
{
    bool plays = false;
    try {
        plays = co_await result_;
    } catch (const std::bad_alloc&) {
        co_return std::nullopt; // no verdict: the stored file is read instead
    }
    if (!file_->readAsStored())
        co_return std::nullopt;
    co_return plays;
}

bool GrowingVideoCheck::playsToEnd(GrowingFile& file, const QString& label, std::stop_token stop)
{
    Reader reader{file};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer)
        throw std::bad_alloc();
    const std::unique_ptr<AVIOContext, IoDeleter> io(avio_alloc_context(buffer, kBufferBytes, 0, &reader, &readPacket, nullptr, &seek));
    if (!io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    try {
        const MediaInput input(io.get(), label, std::move(stop));
        return MediaTools::playsToEnd(input);
    } catch (const MediaError&) {
        // Unreadable as media: nothing to play.
        return false;
    }
}
