#pragma once

#include <QString>

class JsonReader;

// One upload of this device and the backend's free-text review status for it.
struct UploadStatusItem {
    qint64 key = 0;
    QString status;

    static UploadStatusItem fromJson(const JsonReader& json);
};
