#pragma once

#include <QByteArray>

// Sees a download's body as it lands in its file, on Http's worker thread, so that a caller can
// read the body while it arrives instead of reading the finished file again. Told where the file
// is once a 2xx body begins, handed each block once it is in the file, and told how the transfer
// ended, exactly once, whether a body began or not. Calls must return quickly: the worker
// carries every other transfer too.
class HttpBodyTap {
public:
    virtual ~HttpBodyTap() = default;
    // A 2xx body begins in the file open at `descriptor` (readable; valid only during the call).
    // `length` is the size the file will have when the body arrives whole, -1 when unknown.
    virtual void bodyStarted(int descriptor, qint64 length) = 0;
    // `block` is in the file now, right behind the blocks before it.
    virtual void bodyWritten(const QByteArray& block) = 0;
    // The transfer is over; `complete` when the whole body is in the file under its name.
    virtual void transferEnded(bool complete) = 0;
};
