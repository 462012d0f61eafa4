#include "engine/EntriesJSONError.h"

QString EntriesJSONError::localizedDescription() const
{
    switch (kind_) {
    case Kind::originalFileNotFound:
        return QStringLiteral("Original entries.json not found at: ") + detail_;
    case Kind::backupFileNotFound:
        return QStringLiteral("Backup entries.json not found at: ") + detail_;
    case Kind::copyFailed:
        break;
    }
    return QStringLiteral("Failed to copy entries.json: ") + detail_;
}
