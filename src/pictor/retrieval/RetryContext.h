#pragma once

#include "pictor/core/PictorError.h"

#include <any>
#include <memory>
#include <mutex>

namespace pictor {

class Source;

// What the retrieval and its retry strategy share over every failure of one retrieval: the
// source, the first error, how many retries were made and the strategy's own payload.
class RetryContext {
public:
    RetryContext(std::shared_ptr<const Source> source, PictorError error) : source_(std::move(source)), error_(std::move(error)) {}

    const std::shared_ptr<const Source>& source() const { return source_; }
    const PictorError& error() const { return error_; }
    int retriedCount() const;
    void setRetriedCount(int count);
    std::any userInfo() const;
    void setUserInfo(std::any info);

private:
    const std::shared_ptr<const Source> source_;
    const PictorError error_;
    mutable std::mutex mutex_;
    int retriedCount_ = 0;
    std::any userInfo_;
};

} // namespace pictor
