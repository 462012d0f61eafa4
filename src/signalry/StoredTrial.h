#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace signalry {

// The free trial being watched for conversion, stored as
// {"productID": text, "originalTransactionID": number} under "lastTrial".
struct StoredTrial {
    QString productID;
    quint64 originalTransactionID = 0;

    bool operator==(const StoredTrial& other) const = default;

    QByteArray encode() const;
    static std::optional<StoredTrial> decode(const QByteArray& data);
};

} // namespace signalry
