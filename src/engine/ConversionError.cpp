#include "engine/ConversionError.h"

#include <QCoreApplication>

QString ConversionError::localizedDescription() const
{
    switch (kind_) {
    case Kind::noVideoTracks:
        return QCoreApplication::translate("ConversionError", "Video file has no video tracks");
    case Kind::exportSessionCreationFailed:
        return QCoreApplication::translate("ConversionError", "Failed to create export session");
    case Kind::exportFailed:
        break;
    }
    return QCoreApplication::translate("ConversionError", "Video conversion failed: ") + detail_;
}
