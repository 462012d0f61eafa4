#include "signalry/StoredSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace signalry {

QByteArray StoredSession::encodeList(const QList<StoredSession>& sessions)
{
    QJsonArray array;
    for (const StoredSession& session : sessions) {
        array.append(QJsonObject{
            {QStringLiteral("st"), session.startedAt.toSecsSinceEpoch()},
            {QStringLiteral("dn"), session.durationInSeconds},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<StoredSession>> StoredSession::decodeList(const QByteArray& data)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isArray())
        return std::nullopt;
    QList<StoredSession> sessions;
    for (const QJsonValue& value : document.array()) {
        const QJsonValue started = value.toObject().value(QStringLiteral("st"));
        const QJsonValue duration = value.toObject().value(QStringLiteral("dn"));
        if (!started.isDouble() || !duration.isDouble() || !std::isfinite(started.toDouble()))
            return std::nullopt;
        const auto milliseconds = static_cast<qint64>(std::clamp(started.toDouble() * 1000.0, -1e15, 1e15));
        sessions.append({QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC), duration.toInteger()});
    }
    return sessions;
}

} // namespace signalry
