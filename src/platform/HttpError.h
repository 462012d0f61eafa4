#pragma once

#include "foundation/AppError.h"

#include <QNetworkReply>

// A transfer that ended without a usable HTTP reply: the connection failed or was cut, the
// time-out passed, the caller stopped it, the TLS handshake was refused, or the reply's body
// was longer than the caller allowed.
class HttpError : public AppError {
public:
    enum class Kind { Transport, TimedOut, Cancelled, Tls, TooLarge };

    HttpError(Kind kind, QNetworkReply::NetworkError code, QString message)
        : kind_(kind), code_(code), message_(std::move(message))
    {
    }

    Kind kind() const { return kind_; }
    // Qt's error code for the transfer; NoError when the fault was found by our own checks.
    QNetworkReply::NetworkError code() const { return code_; }
    QString localizedDescription() const override { return message_; }

private:
    Kind kind_;
    QNetworkReply::NetworkError code_;
    QString message_;
};
