#pragma once

#include <QList>
#include <QPair>
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace pictor {

// What a server answered before the body: the URL it came from, the HTTP status (absent for a
// response that is not HTTP), the announced body length (-1 when unknown) and the headers.
struct URLResponse {
    QUrl url;
    std::optional<int> statusCode;
    qint64 expectedContentLength = -1;
    QList<QPair<QByteArray, QByteArray>> headers;

    bool isHTTP() const { return statusCode.has_value(); }
    // For error texts: "<status> <url>" or "<url>".
    QString description() const
    {
        const QString address = url.toDisplayString();
        return statusCode ? QStringLiteral("%1 %2").arg(*statusCode).arg(address) : address;
    }
};

} // namespace pictor
