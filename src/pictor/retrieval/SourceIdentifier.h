#pragma once

#include <QtGlobal>

#include <atomic>

namespace pictor {

// The request identity of the image-setting targets and the builder: every load takes the next
// number of one process-wide counter, stores it on its target, and a result is applied only while
// the target still holds that number. Atomic, so loads may be started from any thread.
class SourceIdentifier {
public:
    using Value = quint64;

    // The first value handed out is 1; 0 is never a request.
    static Value next() { return counter_.fetch_add(1, std::memory_order_relaxed) + 1; }

private:
    static inline std::atomic<Value> counter_ = 0;
};

} // namespace pictor
