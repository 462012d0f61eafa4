#pragma once

#include "foundation/AppError.h"

#include <exception>

// Why a master video could not be downloaded into the cache.
class DownloadError : public AppError {
public:
    enum class Kind {
        fileSystemError, // the file could not be written or moved into place
        networkError,    // the transfer failed, was cut short or was stopped
        invalidResponse, // the server answered with a status outside 200 to 299
    };

    static DownloadError fileSystemError(const std::exception& underlying);
    static DownloadError networkError(const std::exception& underlying);
    static DownloadError invalidResponse();

    Kind kind() const { return kind_; }
    // The user-facing text of the underlying failure; empty for invalidResponse.
    QString underlyingDescription() const { return underlying_; }
    // A file system error for want of room on the disk.
    bool isOutOfSpace() const { return outOfSpace_; }
    QString localizedDescription() const override;

private:
    DownloadError(Kind kind, QString underlying, bool outOfSpace = false)
        : kind_(kind), underlying_(std::move(underlying)), outOfSpace_(outOfSpace)
    {
    }

    Kind kind_;
    QString underlying_;
    bool outOfSpace_ = false;
};
