#include "backend/UploadError.h"

QString UploadError::localizedDescription() const
{
    switch (kind_) {
    case Kind::InvalidUploadURL: return QStringLiteral("Invalid upload URL");
    case Kind::ConstructURLFailed: return QStringLiteral("Failed to construct upload URL");
    case Kind::UploadFailed: return QStringLiteral("Upload failed with status code: ") + QString::number(statusCode_);
    case Kind::InvalidResponse: return QStringLiteral("Invalid response");
    }
    return {};
}
