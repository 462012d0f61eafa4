#include "engine/ExtensionRestartError.h"

#include <QCoreApplication>

QString ExtensionRestartError::localizedDescription() const
{
    if (kind_ == Kind::processNotFound)
        return QCoreApplication::translate("ExtensionRestartError", "WallpaperAerialsExtension process not found");
    return QCoreApplication::translate("ExtensionRestartError", "Failed to restart extension: ") + detail_;
}
