#include "backend/UploadError.h"

#include <QCoreApplication>

QString UploadError::localizedDescription() const
{
    switch (kind_) {
    case Kind::InvalidUploadURL: return QCoreApplication::translate("UploadError", "Invalid upload URL");
    case Kind::ConstructURLFailed: return QCoreApplication::translate("UploadError", "Failed to construct upload URL");
    case Kind::UploadFailed: return QCoreApplication::translate("UploadError", "Upload failed with status code: ") + QString::number(statusCode_);
    case Kind::InvalidResponse: return QCoreApplication::translate("UploadError", "Invalid response");
    }
    return {};
}
