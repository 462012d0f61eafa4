#include "engine/DownloadError.h"

#include "platform/FileError.h"

#include <QCoreApplication>

DownloadError DownloadError::fileSystemError(const std::exception& underlying)
{
    const auto* file = dynamic_cast<const FileError*>(&underlying);
    return DownloadError(Kind::fileSystemError, describeError(underlying), file && file->isOutOfSpace());
}

DownloadError DownloadError::networkError(const std::exception& underlying)
{
    return DownloadError(Kind::networkError, describeError(underlying));
}

DownloadError DownloadError::invalidResponse() { return DownloadError(Kind::invalidResponse, {}); }

QString DownloadError::localizedDescription() const
{
    switch (kind_) {
    case Kind::fileSystemError:
        return QCoreApplication::translate("DownloadError", "File system error: ") + underlying_;
    case Kind::networkError:
        return QCoreApplication::translate("DownloadError", "Network error: ") + underlying_;
    case Kind::invalidResponse:
        break;
    }
    return QCoreApplication::translate("DownloadError", "Invalid response from server");
}
