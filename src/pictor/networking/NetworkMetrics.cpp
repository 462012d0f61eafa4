#include "pictor/networking/NetworkMetrics.h"

namespace pictor {

namespace {

std::optional<double> span(std::optional<qint64> startNs, std::optional<qint64> endNs)
{
    if (!startNs || !endNs || *endNs < *startNs)
        return std::nullopt;
    return double(*endNs - *startNs) / 1e9;
}

} // namespace

std::optional<NetworkMetrics> NetworkMetrics::build(const Raw& raw)
{
    const RequestTimes* chosen = nullptr;
    for (const RequestTimes& request : raw.requests) {
        if (request.statusCode && *request.statusCode >= 200 && *request.statusCode <= 299) {
            chosen = &request;
            break;
        }
    }
    if (!chosen)
        return std::nullopt;
    NetworkMetrics metrics;
    metrics.rawMetrics = raw;
    const qint64 requestStart = chosen->requestSentNs.value_or(chosen->fetchStartNs);
    metrics.retrieveImageDuration = span(requestStart, chosen->responseEndNs);
    metrics.firstByteDuration = span(requestStart, chosen->responseStartNs);
    metrics.totalRequestDuration = double(raw.taskEndNs - raw.taskStartNs) / 1e9;
    metrics.connectDuration = span(chosen->connectStartNs, chosen->secureConnectionEndNs);
    metrics.requestBodyBytesSent = chosen->requestBodyBytesSent;
    metrics.responseBodyBytesReceived = chosen->responseBodyBytesReceived;
    metrics.httpStatusCode = chosen->statusCode;
    metrics.redirectCount = raw.redirectCount;
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
