#include "backend/CacheEntry.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

CacheEntry CacheEntry::fromJson(const JsonReader& json)
{
    return CacheEntry{json.requiredData("data"), json.requiredDate("timestamp")};
}

QJsonObject CacheEntry::toJson() const
{
    return QJsonObject{
        {QStringLiteral("data"), JsonWriter::encode(data)},
        {QStringLiteral("timestamp"), JsonWriter::encode(timestamp)},
    };
}
