#pragma once

#include "foundation/AppError.h"

// The failures of sending a video file to its signed upload address.
class UploadError : public AppError {
public:
    enum class Kind { InvalidUploadURL, ConstructURLFailed, UploadFailed, InvalidResponse };

    static UploadError invalidUploadURL() { return UploadError(Kind::InvalidUploadURL, 0); }
    static UploadError constructURLFailed() { return UploadError(Kind::ConstructURLFailed, 0); }
    static UploadError uploadFailed(int statusCode) { return UploadError(Kind::UploadFailed, statusCode); }
    static UploadError invalidResponse() { return UploadError(Kind::InvalidResponse, 0); }

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; } // UploadFailed only

    QString localizedDescription() const override;

private:
    UploadError(Kind kind, int statusCode) : kind_(kind), statusCode_(statusCode) {}

    Kind kind_;
    int statusCode_;
};
