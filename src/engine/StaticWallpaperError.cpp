#include "engine/StaticWallpaperError.h"

QString StaticWallpaperError::localizedDescription() const
{
    switch (kind_) {
    case Kind::videoFileNotFound:
        return QStringLiteral("Video file not found at path: ") + detail_;
    case Kind::wallpaperSettingFailed:
        return QStringLiteral("Failed to set wallpaper: ") + detail_;
    case Kind::frameExtractionFailed:
        return QStringLiteral("Failed to extract first frame from video. The video file may be corrupted or in an "
                              "unsupported format.");
    case Kind::imageConversionFailed:
        return QStringLiteral("Failed to convert frame to image format");
    case Kind::imageSaveFailed:
        break;
    }
    return QStringLiteral("Failed to save extracted frame as image");
}
