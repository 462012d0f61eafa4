#include "engine/EntriesJSONError.h"

#include <QCoreApplication>

QString EntriesJSONError::localizedDescription() const
{
    switch (kind_) {
    case Kind::originalFileNotFound:
        return QCoreApplication::translate("EntriesJSONError", "Original entries.json not found at: ") + detail_;
    case Kind::backupFileNotFound:
        return QCoreApplication::translate("EntriesJSONError", "Backup entries.json not found at: ") + detail_;
    case Kind::copyFailed:
        break;
    }
    return QCoreApplication::translate("EntriesJSONError", "Failed to copy entries.json: ") + detail_;
}
