#include "engine/VideoCacheError.h"

VideoCacheError VideoCacheError::fileSystemError(const std::exception& underlying)
{
    return VideoCacheError(Kind::fileSystemError, describeError(underlying));
}

VideoCacheError VideoCacheError::invalidResponse() { return VideoCacheError(Kind::invalidResponse, {}); }

QString VideoCacheError::localizedDescription() const
{
    if (kind_ == Kind::fileSystemError)
        return QStringLiteral("File system error: ") + underlying_;
    return QStringLiteral("Invalid response from server");
}
