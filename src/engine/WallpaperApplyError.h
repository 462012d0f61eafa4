#pragma once

#include "foundation/AppError.h"

// Why the apply pipeline ended an apply itself (the download and the desktop video engine throw
// their own errors). Identified by the domain "WallpaperApply" and a code, as callers that
// report errors by domain expect.
class WallpaperApplyError : public AppError {
public:
    enum class Kind {
        lockScreenOff = 1, // a lock-screen-only apply while the lock-screen feature is off
        cancelled = 2,     // a newer apply for the desktop, or a stopped rotation, replaced it
    };

    static inline const QString kDomain = QStringLiteral("WallpaperApply");

    static WallpaperApplyError lockScreenOff() { return WallpaperApplyError(Kind::lockScreenOff); }
    static WallpaperApplyError cancelled() { return WallpaperApplyError(Kind::cancelled); }

    Kind kind() const { return kind_; }
    QString domain() const { return kDomain; }
    int code() const { return static_cast<int>(kind_); }
    QString localizedDescription() const override;

private:
    explicit WallpaperApplyError(Kind kind) : kind_(kind) {}

    Kind kind_;
};
