#pragma once

#include <QList>
#include <QSslError>
#include <QString>

namespace pictor {

// A server whose certificate the system does not trust: its host and what was found wrong.
struct AuthenticationChallenge {
    QString host;
    QList<QSslError> errors;
};

// useCredential trusts the certificate the server presented; performDefaultHandling lets the
// system's verdict stand (the transfer fails).
enum class AuthChallengeDisposition { useCredential, performDefaultHandling, cancelAuthenticationChallenge };

} // namespace pictor
