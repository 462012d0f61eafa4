#include "signalry/SignalryManagerConfiguration.h"

#include "signalry/MainThread.h"
#include "signalry/SessionManager.h"
#include "signalry/SignalEnricher.h"
#include "signalry/SignalryManager.h"

namespace signalry {

SignalryManagerConfiguration::SignalryManagerConfiguration(QString appID, std::optional<QString> salt,
                                                           std::optional<QUrl> baseURL,
                                                           std::optional<QString> namespaceName)
    : signalryAppID_(std::move(appID)),
      apiBaseURL_(baseURL.value_or(QUrl(kDefaultApiBaseUrl.toString()))),
      namespace_(std::move(namespaceName)),
      salt_(salt.value_or(QString())),
      defaultParameters_([] { return Parameters(); }),
      sessionID_(QUuid::createUuid()),
      sslConfiguration_(QSslConfiguration::defaultConfiguration()),
      logHandler_(LogHandler::standard(LogHandler::LogLevel::Info))
{
}

std::optional<QString> SignalryManagerConfiguration::defaultUser() const { return read(defaultUser_); }
void SignalryManagerConfiguration::setDefaultUser(std::optional<QString> user) { write(defaultUser_, std::move(user)); }

std::optional<QString> SignalryManagerConfiguration::defaultSignalPrefix() const { return read(defaultSignalPrefix_); }
void SignalryManagerConfiguration::setDefaultSignalPrefix(std::optional<QString> prefix)
{
    write(defaultSignalPrefix_, std::move(prefix));
}

std::optional<QString> SignalryManagerConfiguration::defaultParameterPrefix() const { return read(defaultParameterPrefix_); }
void SignalryManagerConfiguration::setDefaultParameterPrefix(std::optional<QString> prefix)
{
    write(defaultParameterPrefix_, std::move(prefix));
}

std::function<Parameters()> SignalryManagerConfiguration::defaultParameters() const { return read(defaultParameters_); }
void SignalryManagerConfiguration::setDefaultParameters(std::function<Parameters()> provider)
{
    if (!provider)
        provider = [] { return Parameters(); };
    write(defaultParameters_, std::move(provider));
}

bool SignalryManagerConfiguration::sendNewSessionBeganSignal() const { return read(sendNewSessionBeganSignal_); }
void SignalryManagerConfiguration::setSendNewSessionBeganSignal(bool send) { write(sendNewSessionBeganSignal_, send); }

QUuid SignalryManagerConfiguration::sessionID() const { return read(sessionID_); }

void SignalryManagerConfiguration::setSessionID(const QUuid& sessionID)
{
    write(sessionID_, sessionID);
    if (sessionStatsEnabled())
        MainThread::run([] { SessionManager::shared().startNewSession(); });
    if (sendNewSessionBeganSignal())
        SignalryManager::deliverSignal(QStringLiteral("Signalry.Session.started"), {}, std::nullopt, std::nullopt);
}

QSslConfiguration SignalryManagerConfiguration::sslConfiguration() const { return read(sslConfiguration_); }
void SignalryManagerConfiguration::setSslConfiguration(const QSslConfiguration& configuration)
{
    write(sslConfiguration_, configuration);
}

SignalryManagerConfiguration::CertificateCheck SignalryManagerConfiguration::certificateCheck() const
{
    return read(certificateCheck_);
}
void SignalryManagerConfiguration::setCertificateCheck(CertificateCheck check) { write(certificateCheck_, std::move(check)); }

bool SignalryManagerConfiguration::sendSignalsInDebugConfiguration() const { return read(sendSignalsInDebugConfiguration_); }
void SignalryManagerConfiguration::setSendSignalsInDebugConfiguration(bool send)
{
    write(sendSignalsInDebugConfiguration_, send);
}

bool SignalryManagerConfiguration::testMode() const { return read(testMode_).value_or(false); }
void SignalryManagerConfiguration::setTestMode(bool testMode) { write(testMode_, std::optional<bool>(testMode)); }

bool SignalryManagerConfiguration::swiftUIPreviewMode() const
{
    if (const std::optional<bool> set = read(swiftUIPreviewMode_))
        return *set;
    return qEnvironmentVariable("XCODE_RUNNING_FOR_PREVIEWS") == QLatin1String("1");
}
void SignalryManagerConfiguration::setSwiftUIPreviewMode(bool previewMode)
{
    write(swiftUIPreviewMode_, std::optional<bool>(previewMode));
}

bool SignalryManagerConfiguration::analyticsDisabled() const { return read(analyticsDisabled_); }
void SignalryManagerConfiguration::setAnalyticsDisabled(bool disabled) { write(analyticsDisabled_, disabled); }

bool SignalryManagerConfiguration::reservedParameterWarningsEnabled() const { return read(reservedParameterWarningsEnabled_); }
void SignalryManagerConfiguration::setReservedParameterWarningsEnabled(bool enabled)
{
    write(reservedParameterWarningsEnabled_, enabled);
}

bool SignalryManagerConfiguration::sessionStatsEnabled() const { return read(sessionStatsEnabled_); }
void SignalryManagerConfiguration::setSessionStatsEnabled(bool enabled) { write(sessionStatsEnabled_, enabled); }

bool SignalryManagerConfiguration::showDebugLogs() const { return read(showDebugLogs_); }
void SignalryManagerConfiguration::setShowDebugLogs(bool show) { write(showDebugLogs_, show); }

std::optional<LogHandler> SignalryManagerConfiguration::logHandler() const { return read(logHandler_); }
void SignalryManagerConfiguration::setLogHandler(std::optional<LogHandler> handler) { write(logHandler_, std::move(handler)); }

QList<std::shared_ptr<SignalEnricher>> SignalryManagerConfiguration::metadataEnrichers() const
{
    return read(metadataEnrichers_);
}
void SignalryManagerConfiguration::setMetadataEnrichers(QList<std::shared_ptr<SignalEnricher>> enrichers)
{
    write(metadataEnrichers_, std::move(enrichers));
}

void SignalryManagerConfiguration::log(LogHandler::LogLevel level, const QString& message) const
{
    logWith(logHandler(), level, message);
}

} // namespace signalry
