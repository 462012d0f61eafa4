#include "platform/HttpRedirect.h"

namespace {
int defaultPort(const QUrl& url)
{
    return url.scheme() == u"https" ? 443 : url.scheme() == u"http" ? 80 : -1;
}

bool isFollowed(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 || status == 308;
}

bool allows(QNetworkRequest::RedirectPolicy policy, const QUrl& from, const QUrl& to)
{
    switch (policy) {
    case QNetworkRequest::NoLessSafeRedirectPolicy:
        return !(from.scheme() == u"https" && to.scheme() == u"http");
    case QNetworkRequest::SameOriginRedirectPolicy:
        return HttpRedirect::sameOrigin(from, to);
    default: // manual, or one the user would have to confirm
        return false;
    }
}
} // namespace

std::optional<QUrl> HttpRedirect::target(const QNetworkRequest& request, const QUrl& from, int status, const QByteArray& location)
{
    if (!isFollowed(status) || location.isEmpty())
        return std::nullopt;
    const QUrl to = from.resolved(QUrl::fromEncoded(location.trimmed()));
    if (!to.isValid() || (to.scheme() != u"https" && to.scheme() != u"http"))
        return std::nullopt;
    const auto policy = request.attribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy)
                            .value<QNetworkRequest::RedirectPolicy>();
    if (!allows(policy, from, to))
        return std::nullopt;
    return to;
}

std::optional<QUrl> HttpRedirect::insecureTarget(const QUrl& from, int status, const QByteArray& location)
{
    if (!isFollowed(status) || location.isEmpty() || from.scheme() != u"https")
        return std::nullopt;
    const QUrl to = from.resolved(QUrl::fromEncoded(location.trimmed()));
    return to.scheme() == u"http" ? std::optional(to) : std::nullopt;
}

QByteArray HttpRedirect::method(int status, const QByteArray& verb)
{
    if (status == 307 || status == 308 || verb == "HEAD")
        return verb;
    return "GET";
}

QNetworkRequest HttpRedirect::nextHop(QNetworkRequest request, const QUrl& from, const QUrl& to)
{
    request.setUrl(to);
    if (!sameOrigin(from, to)) {
        // A null value removes the header.
        request.setRawHeader("Authorization", QByteArray());
        request.setRawHeader("Cookie", QByteArray());
    }
    return request;
}

bool HttpRedirect::sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultPort(a)) == b.port(defaultPort(b));
}
