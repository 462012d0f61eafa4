#pragma once

#include "foundation/AppError.h"

// Why a video's still frame could not become the desktop picture. The cases with a text carry
// a path or the underlying reason, appended to their message.
class StaticWallpaperError : public AppError {
public:
    enum class Kind {
        imageFileNotFound,
        videoFileNotFound,
        appleScriptFailed,
        wallpaperSettingFailed,
        frameExtractionFailed,
        imageConversionFailed,
        imageSaveFailed,
        accessibilityPermissionDenied,
    };

    explicit StaticWallpaperError(Kind kind, QString detail = {}) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    QString detail() const { return detail_; }
    QString localizedDescription() const override;

private:
    Kind kind_;
    QString detail_;
};
