#pragma once

#include "signalry/Parameters.h"

#include <QDateTime>
#include <QList>

#include <optional>

class QJsonValue;

namespace signalry {

// One signal as the ingest service receives it. On the wire `receivedAt` is text
// ("2025-03-02T12:00:00+0000"); in the cache file it is seconds since 1 January 2001 UTC.
struct SignalPostBody {
    QDateTime receivedAt;
    QString appID;
    QString clientUser;
    QString sessionID;
    QString type;
    std::optional<double> floatValue;
    Parameters payload;
    QString isTestMode;

    bool operator==(const SignalPostBody& other) const = default;

    // JSON objects, written directly (a batch of a hundred records with the default payload is
    // large). A non-finite float value has no JSON form and is left out, like an absent one.
    QByteArray toWireJson() const;
    QByteArray toCacheJson() const;
    static std::optional<SignalPostBody> fromCacheJson(const QJsonValue& value);

    // The POST body of one batch: a JSON array of wire records.
    static QByteArray encodeWireBatch(const QList<SignalPostBody>& batch);
    // The cache file: a JSON array of cache records.
    template <typename Records>
    static QByteArray encodeCacheList(const Records& records)
    {
        QByteArray out("[");
        for (const SignalPostBody& record : records) {
            if (out.size() > 1)
                out += ',';
            record.appendJson(out, DateForm::ReferenceSeconds);
        }
        return out + ']';
    }
    // "yyyy-MM-dd'T'HH:mm:ssZ" in GMT.
    static QString wireDate(const QDateTime& moment);
    // The record's textual form in the log.
    QString description() const;

private:
    enum class DateForm { WireText, ReferenceSeconds };
    void appendJson(QByteArray& out, DateForm dateForm) const;
};

} // namespace signalry
