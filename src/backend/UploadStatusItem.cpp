#include "backend/UploadStatusItem.h"

#include "foundation/JsonReader.h"

UploadStatusItem UploadStatusItem::fromJson(const JsonReader& json)
{
    return UploadStatusItem{json.requiredInt64("key"), json.requiredString("status")};
}
