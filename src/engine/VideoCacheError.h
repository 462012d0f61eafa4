#pragma once

#include "foundation/AppError.h"

#include <exception>

// Why a preview video could not be put into the cache. A failed transfer is not one of these:
// it reaches the caller as the transfer's own HttpError.
class VideoCacheError : public AppError {
public:
    enum class Kind {
        fileSystemError, // the file could not be written or moved into place
        invalidResponse, // the server answered with a status outside 200 to 299
    };

    static VideoCacheError fileSystemError(const std::exception& underlying);
    static VideoCacheError invalidResponse();

    Kind kind() const { return kind_; }
    QString localizedDescription() const override;

private:
    VideoCacheError(Kind kind, QString underlying) : kind_(kind), underlying_(std::move(underlying)) {}

    Kind kind_;
    QString underlying_;
};
