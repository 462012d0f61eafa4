#pragma once

#include "pictor/core/DispatchQueue.h"

#include <functional>
#include <memory>

namespace pictor {

// Where a completion or a processing step runs: queued on the GUI thread, at once when already
// there, at once on the calling thread, or on a serial dispatch queue.
class CallbackQueue {
public:
    enum class Kind { mainAsync, mainCurrentOrAsync, untouch, dispatch };

    static CallbackQueue mainAsync() { return CallbackQueue(Kind::mainAsync, nullptr); }
    static CallbackQueue mainCurrentOrAsync() { return CallbackQueue(Kind::mainCurrentOrAsync, nullptr); }
    static CallbackQueue untouch() { return CallbackQueue(Kind::untouch, nullptr); }
    static CallbackQueue dispatch(std::shared_ptr<DispatchQueue> queue) { return CallbackQueue(Kind::dispatch, std::move(queue)); }

    Kind kind() const { return kind_; }
    const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }
    bool operator==(const CallbackQueue& other) const = default;

    void execute(std::function<void()> job) const;
    // Whether a job running now on the calling thread is already where this queue puts jobs (the
    // GUI thread for the main kinds, anywhere for untouch).
    bool isCurrent() const;
    // Runs the job at once when isCurrent(), else as execute() does: no needless hop.
    void deliver(std::function<void()> job) const;

    // Without an application object there is no event loop to queue on: the job runs at once.
    static void runMainAsync(std::function<void()> job);
    static void runMainCurrentOrAsync(std::function<void()> job);

private:
    CallbackQueue(Kind kind, std::shared_ptr<DispatchQueue> queue) : kind_(kind), queue_(std::move(queue)) {}

    Kind kind_;
    std::shared_ptr<DispatchQueue> queue_;
};

} // namespace pictor
