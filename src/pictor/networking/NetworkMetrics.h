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
        qint64 requestStartNs = 0;
        std::optional<qint64> responseEndNs;
        qint64 taskEndNs = 0;
        qint64 requestBodyBytesSent = 0;
        qint64 responseBodyBytesReceived = 0;
        std::optional<int> statusCode;
        int redirectCount = 0;
    };
    // Nothing unless the final status is 200 to 299.
    static std::optional<NetworkMetrics> build(const Sample& sample);

    std::optional<double> retrieveImageDuration;
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
