#pragma once

#include <QDateTime>
#include <QList>

#include <optional>

namespace signalry {

// One session of the usage history: when it started and the active seconds counted for it.
// Stored as a JSON array of {"st": whole seconds since 1970, "dn": seconds}.
struct StoredSession {
    QDateTime startedAt;
    qint64 durationInSeconds = 0;

    bool operator==(const StoredSession& other) const = default;

    static QByteArray encodeList(const QList<StoredSession>& sessions);
    // Nothing when the data is not such an array.
    static std::optional<QList<StoredSession>> decodeList(const QByteArray& data);
};

} // namespace signalry
