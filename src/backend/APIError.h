#pragma once

#include "foundation/AppError.h"

#include <exception>

// The failures of the backend client. The request core raises httpError, networkError and
// invalidResponse; the endpoint calls raise the other three for their own failures.
class APIError : public AppError {
public:
    enum class Kind { HttpError, NetworkError, DecodingError, InvalidURL, InvalidResponse, InvalidResponseFormat };

    static APIError httpError(int statusCode);
    // `underlying` is the error that caused it (a transfer failure, a decoder's complaint).
    static APIError networkError(std::exception_ptr underlying);
    static APIError decodingError(std::exception_ptr underlying);
    static APIError invalidURL();
    static APIError invalidResponse();
    static APIError invalidResponseFormat();

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; } // httpError only, 0 otherwise
    std::exception_ptr underlying() const { return underlying_; }

    // "HTTP error with status code: 404", "Network error: <cause>", ...
    QString localizedDescription() const override;

    // True when `failure` says the backend answered but its reply could not be read (not JSON,
    // not the expected shape), as against a connection that failed.
    static bool isUnreadableReply(std::exception_ptr failure);

private:
    APIError(Kind kind, int statusCode, std::exception_ptr underlying);

    Kind kind_;
    int statusCode_ = 0;
    std::exception_ptr underlying_;
    QString underlyingDescription_;
};
