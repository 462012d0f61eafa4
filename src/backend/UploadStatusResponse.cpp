#include "backend/UploadStatusResponse.h"

#include "foundation/JsonReader.h"

UploadStatusResponse UploadStatusResponse::fromJson(const JsonReader& json)
{
    return UploadStatusResponse{json.required<QList<UploadStatusItem>>("uploads")};
}
