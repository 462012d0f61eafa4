#pragma once

#include "foundation/KindError.h"

enum class StaticWallpaperErrorKind {
    videoFileNotFound,
    wallpaperSettingFailed,
    frameExtractionFailed,
    imageConversionFailed,
    imageSaveFailed,
};

// Why a video's still frame could not become the desktop picture. The cases with a text carry
// a path or the underlying reason, appended to their message.
class StaticWallpaperError : public KindError<StaticWallpaperErrorKind> {
public:
    using KindError::KindError;

    QString localizedDescription() const override;
};
