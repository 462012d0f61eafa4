#pragma once

#include "pictor/retrieval/RetryContext.h"
#include "pictor/retrieval/RetryDecision.h"

#include <functional>
#include <memory>

namespace pictor {

// Decides, for one failure of a retrieval, whether to start the same source again. The handler
// is called once per consultation: before retry() returns, or later on the GUI thread.
class RetryStrategy {
public:
    virtual ~RetryStrategy() = default;
    virtual void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const = 0;

protected:
    // Calls the handler with a retry now (on this thread) or after the delay on the GUI thread.
    static void retryAfter(double seconds, std::function<void(RetryDecision)> handler, std::any userInfo = {});
    // Only failures of the response (status, transport, data) are worth another attempt.
    static bool isRetryable(const PictorError& error) { return error.stage() == PictorError::Stage::responseError; }
};

} // namespace pictor
