#pragma once

#include <QtGlobal>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace pictor {

// Runs progressive updates one at a time, in order, each starting at least its interval after
// the previous one finished (the first at once); a newer update replaces the one still waiting.
// An update calls the notify it is given once when it is done. Lives on the GUI thread; times
// come from a monotonic clock.
class ImageProgressiveSerialQueue : public std::enable_shared_from_this<ImageProgressiveSerialQueue> {
public:
    using Work = std::function<void(std::function<void()> notify)>;

    static std::shared_ptr<ImageProgressiveSerialQueue> create();
    void add(double minimumInterval, Work work);
    // Drops every pending update; one already running finishes alone.
    void clean();
    qsizetype pendingCount() const { return qsizetype(items_.size()); }

private:
    struct Item {
        double interval;
        Work work;
    };
    ImageProgressiveSerialQueue() = default;
    void runFirst(double afterSeconds);
    void finished(quint64 generation);

    std::deque<Item> items_;
    std::optional<qint64> lastTimeNs_;
    // Raised by clean(): what was scheduled or running before it reports to nobody.
    quint64 generation_ = 0;
};

} // namespace pictor
