#pragma once

#include <QtGlobal>

#include <optional>

namespace pictor {

// The timing and size summary of one transfer. Built only for a transfer that ended with a 2xx
// answer; durations come from a monotonic clock, in seconds. Name lookup, connect and TLS set-up
// are not reported by the transfer stack, so they stay absent.
struct NetworkMetrics {
    // Gathered while the transfer runs; build() turns them into the summary.
    struct Sample {
        // The first request was sent; the whole transfer, redirections included, runs from here.
        qint64 taskStartNs = 0;
        // The request that got the final answer was sent (after the last redirection).
        qint64 requestStartNs = 0;
        // The final answer's first byte arrived.
        std::optional<qint64> responseStartNs;
        std::optional<qint64> responseEndNs;
        qint64 taskEndNs = 0;
        qint64 requestBodyBytesSent = 0;
        qint64 responseBodyBytesReceived = 0;
        std::optional<int> statusCode;
        int redirectCount = 0;
    };
    // Nothing unless the final status is 200 to 299.
    static std::optional<NetworkMetrics> build(const Sample& sample);

    // From the final request to the last byte of its answer.
    std::optional<double> retrieveImageDuration;
    // From the final request to the first byte of its answer.
    std::optional<double> firstByteDuration;
    // From the first request to the end, redirections included.
    double totalRequestDuration = 0;
    std::optional<double> domainLookupDuration;
    std::optional<double> connectDuration;
    std::optional<double> secureConnectionDuration;
    qint64 requestBodyBytesSent = 0;
    qint64 responseBodyBytesReceived = 0;
    std::optional<int> httpStatusCode;
    int redirectCount = 0;

    // Bytes per second; absent without bytes or without a positive duration.
    std::optional<double> downloadSpeed() const;
    std::optional<double> downloadSpeedMBps() const;
};

} // namespace pictor
