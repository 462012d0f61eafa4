#include "backend/APIError.h"

#include "foundation/JsonError.h"

#include <QCoreApplication>

namespace {
QString describe(const std::exception_ptr& error)
{
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& exception) {
        return describeError(exception);
    } catch (...) {
        return QCoreApplication::translate("APIError", "Unknown error");
    }
}
} // namespace

APIError::APIError(Kind kind, int statusCode, std::exception_ptr underlying)
    : kind_(kind), statusCode_(statusCode), underlying_(std::move(underlying)), underlyingDescription_(describe(underlying_))
{
}

APIError APIError::httpError(int statusCode) { return APIError(Kind::HttpError, statusCode, nullptr); }

APIError APIError::networkError(std::exception_ptr underlying) { return APIError(Kind::NetworkError, 0, std::move(underlying)); }

APIError APIError::decodingError(std::exception_ptr underlying)
{
    return APIError(Kind::DecodingError, 0, std::move(underlying));
}

APIError APIError::invalidURL() { return APIError(Kind::InvalidURL, 0, nullptr); }

APIError APIError::invalidResponse() { return APIError(Kind::InvalidResponse, 0, nullptr); }

APIError APIError::invalidResponseFormat() { return APIError(Kind::InvalidResponseFormat, 0, nullptr); }

QString APIError::localizedDescription() const
{
    switch (kind_) {
    case Kind::HttpError: return QCoreApplication::translate("APIError", "HTTP error with status code: ") + QString::number(statusCode_);
    case Kind::NetworkError: return QCoreApplication::translate("APIError", "Network error: ") + underlyingDescription_;
    case Kind::DecodingError: return QCoreApplication::translate("APIError", "Failed to decode response: ") + underlyingDescription_;
    case Kind::InvalidURL: return QCoreApplication::translate("APIError", "Invalid API URL");
    case Kind::InvalidResponse: return QCoreApplication::translate("APIError", "Invalid response from server");
    case Kind::InvalidResponseFormat: return QCoreApplication::translate("APIError", "Response format is not valid JSON");
    }
    return {};
}

bool APIError::isUnreadableReply(std::exception_ptr failure)
{
    if (!failure)
        return false;
    try {
        std::rethrow_exception(failure);
    } catch (const JsonError&) {
        return true;
    } catch (const APIError& error) {
        return error.kind() == Kind::DecodingError || error.kind() == Kind::InvalidResponseFormat;
    } catch (...) {
    }
    return false;
}
