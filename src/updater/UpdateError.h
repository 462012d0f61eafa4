#pragma once

#include "foundation/AppError.h"

// A failure the updater finds itself (a bad reply, a tool that failed, a package it will not
// install), in the domain "UpdateCheckService" with the code -1.
class UpdateError : public AppError {
public:
    static constexpr int kCode = -1;

    explicit UpdateError(QString description) : description_(std::move(description)) {}

    static QString domain() { return QStringLiteral("UpdateCheckService"); }
    int code() const { return kCode; }
    QString localizedDescription() const override { return description_; }

private:
    QString description_;
};
