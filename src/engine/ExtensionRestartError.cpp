#include "engine/ExtensionRestartError.h"

QString ExtensionRestartError::localizedDescription() const
{
    if (kind_ == Kind::processNotFound)
        return QStringLiteral("WallpaperAerialsExtension process not found");
    return QStringLiteral("Failed to restart extension: ") + detail_;
}
