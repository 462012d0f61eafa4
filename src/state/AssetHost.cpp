#include "state/AssetHost.h"

#include "foundation/Config.h"

#include <QRegularExpression>
#include <QUrl>

namespace {
constexpr int kMaxPort = 65535;

// Labels of letters, digits and inner hyphens joined by dots, or an IPv6 literal in brackets;
// then an optional decimal port.
const QString kLabel = QStringLiteral("[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?");
const QRegularExpression kHostPattern(QStringLiteral(R"(^(?:\[[0-9A-Fa-f:.]+\]|)") + kLabel + QStringLiteral(R"((?:\.)")
    + kLabel + QStringLiteral(R"()*)(?::([0-9]{1,5}))?$)"));
} // namespace

std::optional<QString> AssetHost::validated(const QString& text)
{
    const QRegularExpressionMatch match = kHostPattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    if (match.hasCaptured(1) && match.captured(1).toInt() > kMaxPort)
        return std::nullopt;
    // The bracketed form still has to be an address QUrl accepts.
    const QUrl url(QStringLiteral("https://") + text + QLatin1Char('/'), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return text;
}

QString AssetHost::fallback()
{
    const QUrl backend = Config::current().backendBaseUrl;
    const QString host = backend.host().contains(QLatin1Char(':')) ? u'[' + backend.host() + u']' : backend.host();
    return backend.port() < 0 ? host : host + QLatin1Char(':') + QString::number(backend.port());
}
