#pragma once

#include <QList>
#include <QString>

// Where an apply from the full-screen view goes: the desktop and, with the lock-screen feature
// on, the lock screen too; the desktop alone; or the lock screen alone. Its raw value is what
// the apply analytics report.
enum class WallpaperFullscreenApplyTarget { both, desktop, lockScreen };

namespace WallpaperFullscreenApplyTargets {
// In chip order.
QList<WallpaperFullscreenApplyTarget> all();
QString rawValue(WallpaperFullscreenApplyTarget target);
} // namespace WallpaperFullscreenApplyTargets
