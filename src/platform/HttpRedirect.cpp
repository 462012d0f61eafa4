#include "platform/HttpRedirect.h"

namespace {
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
        return from.scheme() == to.scheme() && from.host() == to.host() && from.port(-1) == to.port(-1);
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

QByteArray HttpRedirect::method(int status, const QByteArray& verb)
{
    if (status == 307 || status == 308 || verb == "HEAD")
        return verb;
    return "GET";
}
