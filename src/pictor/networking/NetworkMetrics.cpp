#include "pictor/networking/NetworkMetrics.h"

namespace pictor {

std::optional<NetworkMetrics> NetworkMetrics::build(const Sample& sample)
{
    if (!sample.statusCode || *sample.statusCode < 200 || *sample.statusCode > 299)
        return std::nullopt;
    // Qt's network stack tells when a request went out and when its answer's head and last byte
    // came, but not when the name lookup, the connection or the TLS handshake began or ended:
    // those durations stay absent.
    NetworkMetrics metrics;
    if (sample.responseEndNs)
        metrics.retrieveImageDuration = double(*sample.responseEndNs - sample.requestStartNs) / 1e9;
    if (sample.responseStartNs)
        metrics.firstByteDuration = double(*sample.responseStartNs - sample.requestStartNs) / 1e9;
    metrics.totalRequestDuration = double(sample.taskEndNs - sample.taskStartNs) / 1e9;
    metrics.requestBodyBytesSent = sample.requestBodyBytesSent;
    metrics.responseBodyBytesReceived = sample.responseBodyBytesReceived;
    metrics.httpStatusCode = sample.statusCode;
    metrics.redirectCount = sample.redirectCount;
    return metrics;
}

std::optional<double> NetworkMetrics::downloadSpeed() const
{
    if (responseBodyBytesReceived < 1 || !retrieveImageDuration || *retrieveImageDuration <= 0)
        return std::nullopt;
    return double(responseBodyBytesReceived) / *retrieveImageDuration;
}

std::optional<double> NetworkMetrics::downloadSpeedMBps() const
{
    const std::optional<double> speed = downloadSpeed();
    if (!speed)
        return std::nullopt;
    return *speed * 9.5367431640625e-7;
}

} // namespace pictor
