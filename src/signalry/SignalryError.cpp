#include "signalry/SignalryError.h"

namespace signalry {

SignalryError SignalryError::forStatusCode(int statusCode)
{
    switch (statusCode) {
    case 401:
        return {Kind::Unauthorised, statusCode};
    case 403:
        return {Kind::Forbidden, statusCode};
    case 413:
        return {Kind::PayloadTooLarge, statusCode};
    default:
        return {Kind::InvalidStatusCode, statusCode};
    }
}

SignalryError SignalryError::invalidEndpointUrl() { return {Kind::InvalidEndpointUrl, 0}; }

QString SignalryError::description() const
{
    switch (kind_) {
    case Kind::InvalidStatusCode:
        return QStringLiteral("Invalid status code %1").arg(statusCode_);
    case Kind::Unauthorised:
        return QStringLiteral("Unauthorized (401)");
    case Kind::Forbidden:
        return QStringLiteral("Forbidden (403)");
    case Kind::PayloadTooLarge:
        return QStringLiteral("Payload is too large (413)");
    case Kind::InvalidEndpointUrl:
        break;
    }
    return QStringLiteral("Invalid endpoint URL");
}

} // namespace signalry
