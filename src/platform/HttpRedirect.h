#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QUrl>

#include <optional>

// Where a redirect takes a request, for both of Http's clients, with Qt's rules: the request's
// redirect policy (no less safe by default: never from HTTPS to HTTP) and its method.
class HttpRedirect {
public:
    // The address a reply of `status` with `location` sends `request`, now at `from`, on to;
    // nothing when the reply is no redirect to follow or the policy does not let it go there.
    static std::optional<QUrl> target(const QNetworkRequest& request, const QUrl& from, int status, const QByteArray& location);
    // The plain-HTTP address a reply of `status` with `location` sends an HTTPS request, now at
    // `from`, on to: never followed, and worth saying as what it is rather than as its status.
    static std::optional<QUrl> insecureTarget(const QUrl& from, int status, const QByteArray& location);
    // The method the request goes on with: 307 and 308 keep it (and the body), HEAD stays HEAD,
    // any other redirect goes on as a GET without a body.
    static QByteArray method(int status, const QByteArray& verb);
    // `request`, that went to `from`, on its way to `to`: the credentials it carries
    // ("Authorization", "Cookie") stay behind once it leaves their origin, and do not come back.
    static QNetworkRequest nextHop(QNetworkRequest request, const QUrl& from, const QUrl& to);
    // Same scheme, host and port (the scheme's own port where none is written).
    static bool sameOrigin(const QUrl& a, const QUrl& b);
};
