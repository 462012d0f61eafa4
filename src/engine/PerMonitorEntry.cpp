#include "engine/PerMonitorEntry.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

namespace {
const QString kDisplayKey = QStringLiteral("displayPersistenceID");
const QString kKeyKey = QStringLiteral("key");
const QString kUrlKey = QStringLiteral("masterUrlString");
} // namespace

PerMonitorEntry PerMonitorEntry::fromJson(const JsonReader& json)
{
    return PerMonitorEntry{json.requiredString(kDisplayKey), json.requiredInt64(kKeyKey), json.requiredString(kUrlKey)};
}

QJsonObject PerMonitorEntry::toJson() const
{
    return QJsonObject{
        {kDisplayKey, JsonWriter::encode(displayPersistenceID)},
        {kKeyKey, JsonWriter::encode(key)},
        {kUrlKey, JsonWriter::encode(masterUrlString)},
    };
}
