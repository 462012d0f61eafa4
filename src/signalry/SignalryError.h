#pragma once

#include <QString>

namespace signalry {

// Why a batch was not accepted by the ingest service.
class SignalryError {
public:
    enum class Kind { InvalidStatusCode, Unauthorised, Forbidden, PayloadTooLarge, InvalidEndpointUrl };

    // 401, 403 and 413 have their own kinds; any other code is InvalidStatusCode.
    static SignalryError forStatusCode(int statusCode);
    static SignalryError invalidEndpointUrl();

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; }
    // "Invalid status code 500", "Unauthorized (401)", ...
    QString description() const;

private:
    SignalryError(Kind kind, int statusCode) : kind_(kind), statusCode_(statusCode) {}

    Kind kind_;
    int statusCode_;
};

} // namespace signalry
