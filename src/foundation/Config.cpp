#include "foundation/Config.h"

#include "foundation/Shared.h"

namespace {
QString setting(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? fallback : value;
}

QString sampleCatalogue(const QString& path)
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(Config::kDefaultPort).arg(path);
}
} // namespace

Config::Config()
    : backendBaseUrl(setting("QUORVELLE_BACKEND_URL", sampleCatalogue(QStringLiteral("/functions/v1"))))
    , backendKey(setting("QUORVELLE_BACKEND_KEY", QStringLiteral("sample-anon-key")))
    , analyticsUrl(setting("QUORVELLE_ANALYTICS_URL", sampleCatalogue(QString())))
    , analyticsAppId(setting("QUORVELLE_ANALYTICS_APP_ID", QStringLiteral("5A1E0C7D-0000-4000-8000-000000000001")))
    , updateFeedUrl(setting("QUORVELLE_UPDATE_FEED_URL", sampleCatalogue(QStringLiteral("/appcast.xml"))))
    , caCertificateFile(setting("QUORVELLE_CA_CERT", QString()))
{
}

const Config& Config::current() { return Shared<Config>::instance(); }
