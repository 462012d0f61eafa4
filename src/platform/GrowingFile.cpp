#include "platform/GrowingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

GrowingFile::~GrowingFile()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void GrowingFile::bodyStarted(int descriptor, qint64 length)
{
    // Our own descriptor: the transfer closes its own when it ends, and the reader may still be
    // reading then.
    const int own = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    const std::lock_guard lock(mutex_);
    descriptor_ = own;
    announced_ = length;
    phase_ = own >= 0 ? Phase::Arriving : Phase::Failed;
    changed_.notify_all();
}

void GrowingFile::bodyWritten(const QByteArray& block)
{
    std::unique_lock lock(mutex_);
    if (cancelled_ || phase_ != Phase::Arriving)
        return;
    written_ += block.size();
    if (readingDone_) {
        windowStart_ = written_; // nothing is kept: a late read goes to the file
        return;
    }
    window_.push_back(block);
    windowBytes_ += block.size();
    // A reader that lags finds the oldest blocks in the file instead.
    while (windowBytes_ > windowLimit_) {
        windowStart_ += window_.front().size();
        windowBytes_ -= window_.front().size();
        window_.pop_front();
    }
    // A waiting reader wakes once a good run of bytes is here, not for every block, and finds
    // the lock free when it does.
    if (wakeAt_ > 0 && written_ >= wakeAt_) {
        wakeAt_ = 0;
        lock.unlock();
        changed_.notify_all();
    }
}

void GrowingFile::transferEnded(bool complete)
{
    const std::lock_guard lock(mutex_);
    phase_ = complete && phase_ == Phase::Arriving ? Phase::Complete : Phase::Failed;
    changed_.notify_all();
}

void GrowingFile::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    forgetWindow();
    changed_.notify_all();
}

void GrowingFile::readingDone()
{
    const std::lock_guard lock(mutex_);
    readingDone_ = true;
    forgetWindow();
}

void GrowingFile::forgetWindow()
{
    window_.clear();
    windowStart_ = written_;
    windowBytes_ = 0;
}

bool GrowingFile::readAsStored() const
{
    const std::lock_guard lock(mutex_);
    return phase_ == Phase::Complete && !cancelled_ && (!announcedGiven_ || announced_ == written_);
}

void GrowingFile::dropBlocksBefore(qint64 position)
{
    while (!window_.empty() && windowStart_ + window_.front().size() <= position) {
        windowStart_ += window_.front().size();
        windowBytes_ -= window_.front().size();
        window_.pop_front();
    }
}

qint64 GrowingFile::size()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return cancelled_ || phase_ == Phase::Complete || phase_ == Phase::Failed || announced_ >= 0; });
    if (cancelled_ || phase_ == Phase::Failed)
        return -1;
    if (phase_ == Phase::Complete && !announcedGiven_)
        return written_;
    announcedGiven_ = true;
    return announced_;
}

qint64 GrowingFile::read(qint64 position, char* buffer, qint64 size)
{
    std::unique_lock lock(mutex_);
    if (written_ <= position && phase_ != Phase::Complete && phase_ != Phase::Failed)
        wakeAt_ = position + kReadAheadBytes;
    changed_.wait(lock, [&] { return cancelled_ || phase_ == Phase::Complete || phase_ == Phase::Failed || written_ > position; });
    wakeAt_ = 0;
    if (cancelled_ || (phase_ == Phase::Failed && written_ <= position))
        return -1;
    if (position >= written_)
        return 0;
    size = std::min(size, written_ - position);
    if (position >= windowStart_) {
        // The reader moves forward: what lies behind it is read from the file if ever needed.
        dropBlocksBefore(position);
        const QByteArray block = window_.front(); // shares the bytes, copied without the lock
        const qint64 offset = position - windowStart_;
        lock.unlock();
        const qint64 count = std::min(size, block.size() - offset);
        std::memcpy(buffer, block.constData() + offset, size_t(count));
        return count;
    }
    const int descriptor = descriptor_;
    lock.unlock();
    for (;;) {
        const ssize_t read = ::pread(descriptor, buffer, size_t(size), position);
        if (read >= 0 || errno != EINTR)
            return read > 0 ? read : -1;
    }
}
