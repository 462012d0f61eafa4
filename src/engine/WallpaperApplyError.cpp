#include "engine/WallpaperApplyError.h"

#include <QCoreApplication>

QString WallpaperApplyError::localizedDescription() const
{
    switch (kind_) {
    case Kind::lockScreenOff:
        return QCoreApplication::translate("WallpaperApplyError", "Lock Screen is off in Settings");
    case Kind::cancelled:
        break;
    }
    return QCoreApplication::translate("WallpaperApplyError", "The wallpaper change was replaced by a newer one");
}
