#include "signalry/ReservedNames.h"

#include "signalry/SignalryManagerConfiguration.h"

#include <QSet>

namespace signalry {

namespace {
const QString kLowerCasePrefix = QStringLiteral("signalry.");

const QSet<QString>& reservedKeys()
{
    static const QSet<QString> keys = [] {
        const QStringList names{
            QStringLiteral("type"), QStringLiteral("clientUser"), QStringLiteral("appID"), QStringLiteral("sessionID"),
            QStringLiteral("floatValue"), QStringLiteral("newSessionBegan"), QStringLiteral("platform"),
            QStringLiteral("systemVersion"), QStringLiteral("majorSystemVersion"), QStringLiteral("majorMinorSystemVersion"),
            QStringLiteral("appVersion"), QStringLiteral("buildNumber"), QStringLiteral("isSimulator"),
            QStringLiteral("isDebug"), QStringLiteral("isTestFlight"), QStringLiteral("isAppStore"),
            QStringLiteral("modelName"), QStringLiteral("architecture"), QStringLiteral("operatingSystem"),
            QStringLiteral("targetEnvironment"), QStringLiteral("locale"), QStringLiteral("region"),
            QStringLiteral("appLanguage"), QStringLiteral("preferredLanguage"), QStringLiteral("signalryClientVersion"),
        };
        QSet<QString> lowerCase;
        for (const QString& name : names)
            lowerCase.insert(name.toLower());
        return lowerCase;
    }();
    return keys;
}
} // namespace

bool ReservedNames::isReservedKey(const QString& key) { return reservedKeys().contains(key.toLower()); }

void ReservedNames::warnAboutSignalName(const SignalryManagerConfiguration& configuration, const QString& signalName)
{
    const QString lower = signalName.toLower();
    if (lower.startsWith(kLowerCasePrefix)) {
        configuration.log(LogHandler::LogLevel::Error,
                          QStringLiteral("Sending signal with reserved prefix 'Signalry.' will cause unexpected behavior. "
                                         "Please use another prefix instead."));
    } else if (reservedKeys().contains(lower)) {
        configuration.log(LogHandler::LogLevel::Error, QStringLiteral("Sending signal with reserved name '") + signalName
                              + QStringLiteral("' will cause unexpected behavior. Please use another name instead."));
    }
}

void ReservedNames::warnAboutParameterKeys(const SignalryManagerConfiguration& configuration, const Parameters& parameters)
{
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QString lower = it.key().toLower();
        if (lower.startsWith(kLowerCasePrefix)) {
            configuration.log(LogHandler::LogLevel::Error,
                              QStringLiteral("Sending parameter with reserved key prefix 'Signalry.' will cause unexpected "
                                             "behavior. Please use another prefix instead."));
        } else if (reservedKeys().contains(lower)) {
            configuration.log(LogHandler::LogLevel::Error, QStringLiteral("Sending parameter with reserved key '") + it.key()
                                  + QStringLiteral("' will cause unexpected behavior. Please use another key instead."));
        }
    }
}

} // namespace signalry
