#include "backend/GravelnookData.h"

#include "foundation/JsonReader.h"

GravelnookData GravelnookData::fromJson(const JsonReader& json)
{
    GravelnookData data;
    data.id = json.requiredInt64("id");
    data.title = json.requiredString("title");
    data.slug = json.requiredString("slug");
    data.category = json.requiredString("category");
    data.fileSize = json.requiredString("file_size");
    data.thumbnailUrl = json.requiredString("thumbnail_url");
    data.previewUrl = json.requiredString("preview_url");
    data.videoUrl = json.requiredString("video_url");
    data.pageUrl = json.requiredString("page_url");
    data.resolution = json.optionalString("resolution");
    data.durationSeconds = json.optionalInt64("duration_seconds");
    return data;
}
