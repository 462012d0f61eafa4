#pragma once

#include <QString>

#include <exception>

// Base of every error the application throws or returns. localizedDescription() is the
// user-facing text; what() gives the same text for logs and test output.
class AppError : public std::exception {
public:
    virtual QString localizedDescription() const = 0;
    const char* what() const noexcept override;

private:
    mutable QByteArray what_;
};

// An error that is only a message, for failures that have no enumeration of their own.
class MessageError : public AppError {
public:
    explicit MessageError(QString message) : message_(std::move(message)) {}
    QString localizedDescription() const override { return message_; }

private:
    QString message_;
};

// The user-facing text of any exception: AppError's description or what().
QString describeError(const std::exception& error);
