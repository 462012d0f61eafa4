#pragma once

#include "platform/HttpBodyTap.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>

// A download's file read while it is written: the transfer's worker hands each block over as it
// lands (HttpBodyTap), and one reader on another thread reads at any position, waiting for bytes
// not yet here. The newest blocks are read from memory; bytes the reader left behind, or that
// fell out of the window of kWindowBytes while it lagged, are read back from the file. Reading
// never blocks the worker for longer than a queue push.
class GrowingFile : public HttpBodyTap {
public:
    static constexpr qint64 kWindowBytes = qint64(32) << 20;
    // How much a reader that caught up with the transfer waits for before it goes on: each
    // wait is a sleep and a wake-up of its thread, so a few dozen per large file, not hundreds.
    static constexpr qint64 kReadAheadBytes = qint64(8) << 20;

    // `windowBytes`: how far the reader may lag before it reads from the file.
    explicit GrowingFile(qint64 windowBytes = kWindowBytes) : windowLimit_(windowBytes) {}
    ~GrowingFile() override;
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // The worker's side.
    void bodyStarted(int descriptor, qint64 length) override;
    void bodyWritten(const QByteArray& block) override;
    void transferEnded(bool complete) override;

    // The reader's side. Up to `size` bytes at `position` into `buffer`, at least one unless the
    // body ends there: waits until they arrive. 0 at the end of a complete body; -1 once the
    // transfer failed, reading was cancelled, or the file could not be read.
    qint64 read(qint64 position, char* buffer, qint64 size);
    // The size the file will have: the announced one, or once unknown, the size it ended with;
    // waits for either. -1 once the transfer failed or reading was cancelled.
    qint64 size();
    // Ends every wait of the reader, now and later, with -1. Any thread.
    void cancel();
    // The reader read all it needs: the blocks still arriving are let go at once, so the
    // worker takes their buffers again. What readAsStored() answers stays as it was.
    void readingDone();
    // True once the transfer ended complete and every size the reader was given is the file's:
    // what it read is what the file holds.
    bool readAsStored() const;

private:
    enum class Phase { Waiting, Arriving, Complete, Failed };

    // Forgets the blocks that end at or before `position`, held under the lock.
    void dropBlocksBefore(qint64 position);
    // Forgets every block: reads of what arrived so far go to the file. Held under the lock.
    void forgetWindow();

    const qint64 windowLimit_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::Waiting;
    bool cancelled_ = false;
    bool readingDone_ = false;
    int descriptor_ = -1;
    qint64 announced_ = -1;
    qint64 written_ = 0;
    // Blocks in memory, the first starting at windowStart_.
    std::deque<QByteArray> window_;
    qint64 windowStart_ = 0;
    qint64 windowBytes_ = 0;
    // The announced size was given to the reader.
    bool announcedGiven_ = false;
    // A block that brings the file to this size wakes the reader waiting for bytes.
    qint64 wakeAt_ = 0;
};
