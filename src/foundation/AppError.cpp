#include "foundation/AppError.h"

const char* AppError::what() const noexcept
{
    try {
        what_ = localizedDescription().toUtf8();
    } catch (...) {
        return "AppError";
    }
    return what_.constData();
}

QString describeError(const std::exception& error)
{
    if (const auto* appError = dynamic_cast<const AppError*>(&error))
        return appError->localizedDescription();
    return QString::fromUtf8(error.what());
}
