#include "engine/DownloadError.h"

DownloadError DownloadError::fileSystemError(const std::exception& underlying)
{
    return DownloadError(Kind::fileSystemError, describeError(underlying));
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
        return QStringLiteral("File system error: ") + underlying_;
    case Kind::networkError:
        return QStringLiteral("Network error: ") + underlying_;
    case Kind::invalidResponse:
        break;
    }
    return QStringLiteral("Invalid response from server");
}
