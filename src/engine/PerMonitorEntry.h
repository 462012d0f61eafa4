#pragma once

#include <QString>

class JsonReader;
class QJsonObject;

// One display's applied wallpaper as stored: the display's persistence identifier (the name it
// keeps across launches and reconnections), the wallpaper's catalogue key and the address of the
// video that was played there. Its stored form uses the field names as keys, all required.
struct PerMonitorEntry {
    QString displayPersistenceID;
    qint64 key = 0;
    QString masterUrlString;

    // Throws JsonError when a member is missing or of another type.
    static PerMonitorEntry fromJson(const JsonReader& json);
    QJsonObject toJson() const;

    bool operator==(const PerMonitorEntry&) const = default;
};
