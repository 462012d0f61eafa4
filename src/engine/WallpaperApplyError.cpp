#include "engine/WallpaperApplyError.h"

QString WallpaperApplyError::localizedDescription() const
{
    switch (kind_) {
    case Kind::lockScreenOff:
        return QStringLiteral("Lock Screen is off in Settings");
    case Kind::cancelled:
        break;
    }
    return QStringLiteral("The wallpaper change was replaced by a newer one");
}
