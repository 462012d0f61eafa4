#include "backend/UploadURLResponse.h"

#include "foundation/JsonReader.h"

UploadURLResponse UploadURLResponse::fromJson(const JsonReader& json)
{
    UploadURLResponse response;
    response.wallpaperKey = json.requiredString("wallpaper_key");
    response.uploadUrl = json.requiredString("upload_url");
    response.expiresIn = json.requiredInt64("expires_in");
    return response;
}
