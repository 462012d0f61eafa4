#include "engine/EngineError.h"

#include <QCoreApplication>

EngineError EngineError::missingVideo(const QUrl& videoUrl)
{
    // The path alone, as the user knows the file.
    return EngineError(Kind::missingVideo, videoUrl.isLocalFile() ? videoUrl.toLocalFile() : videoUrl.path());
}

EngineError EngineError::unknown(const QString& reason) { return EngineError(Kind::unknown, reason); }

QString EngineError::localizedDescription() const
{
    if (kind_ == Kind::missingVideo)
        return QCoreApplication::translate("EngineError", "The video at %1 could not be found. Reinstall or choose another wallpaper.")
            .arg(detail_);
    return QCoreApplication::translate("EngineError", "Wallpaper engine unavailable: ") + detail_;
}
