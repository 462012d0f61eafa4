#pragma once

#include <QByteArray>
#include <QDateTime>

class JsonReader;
class QJsonObject;

// One cached reply body and when it was stored: {"data": Base64, "timestamp": seconds since
// 2001-01-01 00:00:00 UTC}.
struct CacheEntry {
    QByteArray data;
    QDateTime timestamp;

    static CacheEntry fromJson(const JsonReader& json);
    QJsonObject toJson() const;
};
