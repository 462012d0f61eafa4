#include "engine/StaticWallpaperError.h"

#include <QCoreApplication>

QString StaticWallpaperError::localizedDescription() const
{
    switch (kind_) {
    case Kind::videoFileNotFound:
        return QCoreApplication::translate("StaticWallpaperError", "Video file not found at path: ") + detail_;
    case Kind::wallpaperSettingFailed:
        return QCoreApplication::translate("StaticWallpaperError", "Failed to set wallpaper: ") + detail_;
    case Kind::frameExtractionFailed:
        return QCoreApplication::translate("StaticWallpaperError",
            "Failed to extract first frame from video. The video file may be corrupted or in an unsupported format.");
    case Kind::imageConversionFailed:
        return QCoreApplication::translate("StaticWallpaperError", "Failed to convert frame to image format");
    case Kind::imageSaveFailed:
        break;
    }
    return QCoreApplication::translate("StaticWallpaperError", "Failed to save extracted frame as image");
}
