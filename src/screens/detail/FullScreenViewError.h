#pragma once

#include "foundation/AppError.h"

// A failure of the full-screen view's own operations (domain "FullScreenView"): a code and a
// description for the user.
class FullScreenViewError : public AppError {
public:
    static inline const QString kDomain = QStringLiteral("FullScreenView");

    FullScreenViewError(int code, QString description) : code_(code), description_(std::move(description)) {}

    static FullScreenViewError noApplicationSupport()
    {
        return FullScreenViewError(1, QStringLiteral("Could not access Application Support directory"));
    }

    int code() const { return code_; }
    QString localizedDescription() const override { return description_; }

private:
    int code_;
    QString description_;
};
