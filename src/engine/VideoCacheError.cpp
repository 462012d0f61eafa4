#include "engine/VideoCacheError.h"

#include <QCoreApplication>

VideoCacheError VideoCacheError::fileSystemError(const std::exception& underlying)
{
    return VideoCacheError(Kind::fileSystemError, describeError(underlying));
}

VideoCacheError VideoCacheError::invalidResponse() { return VideoCacheError(Kind::invalidResponse, {}); }

QString VideoCacheError::localizedDescription() const
{
    if (kind_ == Kind::fileSystemError)
        return QCoreApplication::translate("VideoCacheError", "File system error: ") + underlying_;
    return QCoreApplication::translate("VideoCacheError", "Invalid response from server");
}
