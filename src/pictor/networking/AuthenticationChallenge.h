#pragma once

#include "pictor/networking/TrustConfiguration.h"

#include <QList>
#include <QSslError>
#include <QString>

namespace pictor {

// A server whose certificate the system does not trust: its host, what was found wrong, and the
// trust the transfer started with, which alone decides (a later change of the downloader's trust
// reaches only later transfers).
struct AuthenticationChallenge {
    QString host;
    QList<QSslError> errors;
    TrustConfiguration trust;
};

// useCredential trusts the certificate the server presented; performDefaultHandling lets the
// system's verdict stand (the transfer fails).
enum class AuthChallengeDisposition { useCredential, performDefaultHandling, cancelAuthenticationChallenge };

} // namespace pictor
