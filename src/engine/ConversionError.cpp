#include "engine/ConversionError.h"

QString ConversionError::localizedDescription() const
{
    switch (kind_) {
    case Kind::noVideoTracks:
        return QStringLiteral("Video file has no video tracks");
    case Kind::exportSessionCreationFailed:
        return QStringLiteral("Failed to create export session");
    case Kind::exportFailed:
        break;
    }
    return QStringLiteral("Video conversion failed: ") + detail_;
}
