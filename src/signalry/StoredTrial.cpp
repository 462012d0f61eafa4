#include "signalry/StoredTrial.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace signalry {

QByteArray StoredTrial::encode() const
{
    const QJsonObject object{
        {QStringLiteral("productID"), productID},
        {QStringLiteral("originalTransactionID"), static_cast<qint64>(originalTransactionID)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<StoredTrial> StoredTrial::decode(const QByteArray& data)
{
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    const QJsonValue productID = object.value(QStringLiteral("productID"));
    const QJsonValue originalID = object.value(QStringLiteral("originalTransactionID"));
    if (!productID.isString() || !originalID.isDouble())
        return std::nullopt;
    return StoredTrial{productID.toString(), static_cast<quint64>(originalID.toInteger())};
}

} // namespace signalry
