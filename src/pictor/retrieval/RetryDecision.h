#pragma once

#include <any>

namespace pictor {

// A retry strategy's answer: start the same source again (the payload goes into the context's
// userInfo first), or stop and let the retrieval fail with the error it has.
struct RetryDecision {
    enum class Kind { retry, stop };
    Kind kind = Kind::stop;
    std::any userInfo;

    static RetryDecision retry(std::any userInfo = {}) { return {Kind::retry, std::move(userInfo)}; }
    static RetryDecision stop() { return {Kind::stop, {}}; }
};

} // namespace pictor
