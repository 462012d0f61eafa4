#pragma once

#include <QList>
#include <QUrl>
#include <QtGlobal>

#include <optional>

namespace pictor {

// The timing and size summary of one transfer, built from the timestamps Qt's network stack
// reported for it (kept as rawMetrics), on a monotonic clock; durations in seconds. Built only for
// a transfer that ended with a 2xx answer. Qt 6.4 reports when a new connection starts
// (socketStartedConnecting), when its TLS set-up is done (encrypted) and when the request went out
// (requestSent), and nothing of a connection it reuses. So the connect span is filled for a new
// TLS connection, TCP and TLS together; the name lookup (neither end reported) and the TLS
// set-up alone (its start is not reported) stay absent.
//
// What a stamp measures: Qt's network thread tells the reply of each event through the event
// queue of the thread that runs the transfers (the GUI thread), and each stamp is taken, by a
// direct connection, when that thread handles the report. So a stamp lags its event by as long
// as that thread was busy, and a span between two reports (the connect span above all) may
// shrink to nothing when both waited together, or grow when only the second did. The hand-over
// (fetchStartNs) and the transfer's start and end are taken by the transfer itself, on that
// thread, without a report: a span from one of them to a later report never comes out shorter
// than the time it spans.
struct NetworkMetrics {
    // One request of the transfer (the first, then one per redirection followed).
    struct RequestTimes {
        QUrl url;
        // Handed to the stack, with a connection free for it.
        qint64 fetchStartNs = 0;
        // A new connection began to connect for it; absent on a reused connection.
        std::optional<qint64> connectStartNs;
        // That connection's TLS set-up was done; absent on a reused or plain connection.
        std::optional<qint64> secureConnectionEndNs;
        // The request was written to the connection.
        std::optional<qint64> requestSentNs;
        // The answer's head arrived.
        std::optional<qint64> responseStartNs;
        std::optional<qint64> responseEndNs;
        std::optional<int> statusCode;
        qint64 requestBodyBytesSent = 0;
        qint64 responseBodyBytesReceived = 0;
    };
    // What the stack reported for the whole transfer.
    struct Raw {
        // The first request went out; the transfer ended.
        qint64 taskStartNs = 0;
        qint64 taskEndNs = 0;
        QList<RequestTimes> requests;
        int redirectCount = 0;
    };
    // Nothing unless one request was answered with 200 to 299 (the first such is taken).
    static std::optional<NetworkMetrics> build(const Raw& raw);

    Raw rawMetrics;
    // From the request being sent (when it was handed to the stack, if Qt did not tell) to the
    // last byte of its answer.
    std::optional<double> retrieveImageDuration;
    // From the request being sent to the head of its answer.
    std::optional<double> firstByteDuration;
    // From the first request to the end, redirections included.
    double totalRequestDuration = 0;
    // Always absent: Qt reports neither end of the name lookup.
    std::optional<double> domainLookupDuration;
    // From a new connection's start to its TLS set-up being done; absent on a reused connection
    // and on plain HTTP, whose connect end Qt does not report.
    std::optional<double> connectDuration;
    // Always absent: Qt reports the end of the TLS set-up, not its start.
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
