#pragma once

#include <QSet>
#include <QSslConfiguration>
#include <QString>

#include <memory>
#include <optional>

namespace pictor {

class AuthenticationChallengeResponsible;

// What decides whether a downloader accepts a server's certificate: its TLS settings (the CA list
// among them), the hosts it trusts as presented, and a challenge responder of its own when it has
// one. Connections opened under one must never serve a transfer under another.
struct TrustConfiguration {
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    std::optional<QSet<QString>> trustedHosts;
    // Unique to each responder a downloader was given (0: none, its trusted hosts decide), so
    // that what a responder accepted never serves anyone else.
    quint64 responderKey = 0;
    // The responder itself, held weakly; not compared (its key stands for it).
    std::weak_ptr<AuthenticationChallengeResponsible> responder;

    bool operator==(const TrustConfiguration& other) const
    {
        return responderKey == other.responderKey && trustedHosts == other.trustedHosts && ssl == other.ssl;
    }
};

} // namespace pictor
