#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace pictor {

// A serial queue of jobs on the shared thread pool: jobs run one after another, in submission
// order, never two at once. A pending job keeps the queue alive, so dropping the last outside
// reference does not lose work.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    static std::shared_ptr<DispatchQueue> create(const QString& label);

    const QString& label() const { return label_; }
    void async(std::function<void()> job);
    // Whether the calling thread is running one of this queue's jobs.
    bool isCurrent() const;

private:
    explicit DispatchQueue(QString label) : label_(std::move(label)) {}
    void drain();

    QString label_;
    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
};

} // namespace pictor
