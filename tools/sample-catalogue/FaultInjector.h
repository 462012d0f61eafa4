#pragma once

#include "Fault.h"

#include <QMap>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace samplecatalogue {

// The faults set per path, consulted by the router for every request. A fault's path matches a
// request path that equals it or starts with it; the longest match wins. Thread-safe: tests set
// faults from their thread while server threads take them.
class FaultInjector {
public:
    void setFault(const QString& path, const Fault& fault);
    void clearFaults();

    // The fault for one request to path, counting one use of a fault limited by `times`.
    std::optional<Fault> take(const QString& path);

    // Waits for a fault's delay; stopping the server cuts every wait short, so stop never hangs
    // on a slow reply.
    void sleep(int ms);
    void interruptSleeps();
    void allowSleeps();

    // How many replies without end have ended (the client left) and the most one of them
    // sent, so a test sees how soon a client gives up on one.
    void endlessReplyEnded(size_t sent);
    int endlessRepliesEnded() const;
    size_t longestEndlessReply() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    QMap<QString, Fault> faults_;
    bool interrupted_ = false;
    int endlessEnded_ = 0;
    size_t longestEndless_ = 0;
};

} // namespace samplecatalogue
