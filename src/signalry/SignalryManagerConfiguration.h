#pragma once

#include "signalry/LogHandler.h"
#include "signalry/Parameters.h"

#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QNetworkReply;

namespace signalry {

class SignalEnricher;

// The analytics client's settings, shared by reference: the manager, the signal manager and the
// cache all read the same instance, and a change of a settable field takes effect on the next
// signal. Every field may be read and set from any thread.
class SignalryManagerConfiguration {
public:
    // The base address of the ingest service used when none is given.
    static constexpr QStringView kDefaultApiBaseUrl = u"https://ingest.signalry.invalid/";

    explicit SignalryManagerConfiguration(QString appID, std::optional<QString> salt = std::nullopt,
                                          std::optional<QUrl> baseURL = std::nullopt,
                                          std::optional<QString> namespaceName = std::nullopt);
    SignalryManagerConfiguration(const SignalryManagerConfiguration&) = delete;
    SignalryManagerConfiguration& operator=(const SignalryManagerConfiguration&) = delete;

    // Fixed at creation.
    const QString& signalryAppID() const { return signalryAppID_; }
    const QUrl& apiBaseURL() const { return apiBaseURL_; }
    const std::optional<QString>& namespaceName() const { return namespace_; }
    const QString& salt() const { return salt_; }

    std::optional<QString> defaultUser() const;
    void setDefaultUser(std::optional<QString> user);
    std::optional<QString> defaultSignalPrefix() const;
    void setDefaultSignalPrefix(std::optional<QString> prefix);
    std::optional<QString> defaultParameterPrefix() const;
    void setDefaultParameterPrefix(std::optional<QString> prefix);
    // Called once per signal; its entries go under the call's parameters.
    std::function<Parameters()> defaultParameters() const;
    void setDefaultParameters(std::function<Parameters()> provider);
    bool sendNewSessionBeganSignal() const;
    void setSendNewSessionBeganSignal(bool send);

    QUuid sessionID() const;
    // Every assignment starts a session: a new session record (when session statistics are on)
    // and the "Signalry.Session.started" signal (when that is on).
    void setSessionID(const QUuid& sessionID);

    // The TLS settings of the POST requests.
    QSslConfiguration sslConfiguration() const;
    void setSslConfiguration(const QSslConfiguration& configuration);
    // A second opinion on a certificate Qt refused: given the reply and Qt's complaints on the
    // sender's thread, it lets the request go on by returning true. Extra authorities are
    // trusted here, beside the system's that Qt looks up one by one as a handshake needs them:
    // a list of authorities set on the TLS settings would replace that lookup.
    using CertificateCheck = std::function<bool(const QNetworkReply& reply, const QList<QSslError>& errors)>;
    CertificateCheck certificateCheck() const;
    void setCertificateCheck(CertificateCheck check);

    bool sendSignalsInDebugConfiguration() const;
    void setSendSignalsInDebugConfiguration(bool send);
    bool testMode() const;
    void setTestMode(bool testMode);
    // When unset: true exactly when XCODE_RUNNING_FOR_PREVIEWS is "1". True drops every signal.
    bool swiftUIPreviewMode() const;
    void setSwiftUIPreviewMode(bool previewMode);
    bool analyticsDisabled() const;
    void setAnalyticsDisabled(bool disabled);
    bool reservedParameterWarningsEnabled() const;
    void setReservedParameterWarningsEnabled(bool enabled);
    bool sessionStatsEnabled() const;
    void setSessionStatsEnabled(bool enabled);
    bool showDebugLogs() const;
    void setShowDebugLogs(bool show);
    std::optional<LogHandler> logHandler() const;
    void setLogHandler(std::optional<LogHandler> handler);
    QList<std::shared_ptr<SignalEnricher>> metadataEnrichers() const;
    void setMetadataEnrichers(QList<std::shared_ptr<SignalEnricher>> enrichers);

    // Logs through the configured handler, when there is one.
    void log(LogHandler::LogLevel level, const QString& message) const;

private:
    template <typename T>
    T read(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <typename T>
    void write(T& field, T value)
    {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }

    const QString signalryAppID_;
    const QUrl apiBaseURL_;
    const std::optional<QString> namespace_;
    const QString salt_;

    mutable std::mutex mutex_;
    std::optional<QString> defaultUser_;
    std::optional<QString> defaultSignalPrefix_;
    std::optional<QString> defaultParameterPrefix_;
    std::function<Parameters()> defaultParameters_;
    bool sendNewSessionBeganSignal_ = true;
    QUuid sessionID_;
    QSslConfiguration sslConfiguration_;
    CertificateCheck certificateCheck_;
    bool sendSignalsInDebugConfiguration_ = false;
    std::optional<bool> testMode_;
    std::optional<bool> swiftUIPreviewMode_;
    bool analyticsDisabled_ = false;
    bool reservedParameterWarningsEnabled_ = true;
    bool sessionStatsEnabled_ = true;
    bool showDebugLogs_ = false;
    std::optional<LogHandler> logHandler_;
    QList<std::shared_ptr<SignalEnricher>> metadataEnrichers_;
};

} // namespace signalry
