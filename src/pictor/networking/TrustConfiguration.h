#pragma once

#include <QSet>
#include <QSslConfiguration>
#include <QString>

#include <optional>

namespace pictor {

// What decides whether a downloader accepts a server's certificate: its TLS settings (the CA list
// among them) and the hosts it trusts as presented. Connections opened under one must never serve
// a transfer under another.
struct TrustConfiguration {
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    std::optional<QSet<QString>> trustedHosts;

    bool operator==(const TrustConfiguration&) const = default;
};

} // namespace pictor
