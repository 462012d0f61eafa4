#pragma once

#include "backend/UploadStatusItem.h"

#include <QList>

class JsonReader;

// The reply of the upload-status call: {"uploads": [...]}; one bad item fails the reply.
struct UploadStatusResponse {
    QList<UploadStatusItem> uploads;

    static UploadStatusResponse fromJson(const JsonReader& json);
};
