#include "engine/EngineError.h"

EngineError EngineError::missingVideo(const QUrl& videoUrl)
{
    // The path alone, as the user knows the file.
    return EngineError(Kind::missingVideo, videoUrl.isLocalFile() ? videoUrl.toLocalFile() : videoUrl.path());
}

EngineError EngineError::unknown(const QString& reason) { return EngineError(Kind::unknown, reason); }

QString EngineError::localizedDescription() const
{
    if (kind_ == Kind::missingVideo)
        return QStringLiteral("The video at ") + detail_
            + QStringLiteral(" could not be found. Reinstall or choose another wallpaper.");
    return QStringLiteral("Wallpaper engine unavailable: ") + detail_;
}
