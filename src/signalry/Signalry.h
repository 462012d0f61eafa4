#pragma once

#include "signalry/ErrorCategory.h"
#include "signalry/Parameters.h"

#include <memory>
#include <optional>

class QObject;

namespace signalry {

class IdentifiableError;
class SignalryManagerConfiguration;
struct Transaction;

// The analytics client's entry points. The application installs a configuration once at start
// with `initialize` and then sends named signals with `signal` from anywhere; everything else
// is the client's public surface. May be called from any thread; nothing is reported back:
// dropped signals and warnings go to the configuration's log handler.
class Signalry {
public:
    Signalry() = delete;

    static void initialize(std::shared_ptr<SignalryManagerConfiguration> config);
    static void terminate();

    // Puts the signal prefix in front of the name and the parameter prefix in front of keys that
    // do not begin with "Signalry.", warns about reserved names, then sends.
    static void signal(const QString& signalName, const Parameters& parameters = {}, std::optional<double> floatValue = std::nullopt,
                       const std::optional<QString>& customUserID = std::nullopt);
    static void generateNewSession();
    static void requestImmediateSync();
    static void updateDefaultUserID(std::optional<QString> user);

    // Duration signals: the seconds between start and stop, by default without the time the
    // application was not active, sent as "Signalry.Signal.durationInSeconds".
    static void startDurationSignal(const QString& signalName, const Parameters& parameters = {},
                                    bool includeBackgroundTime = false);
    static void cancelDurationSignal(const QString& signalName);
    static void stopAndSendDurationSignal(const QString& signalName, const Parameters& parameters = {},
                                          std::optional<double> floatValue = std::nullopt,
                                          const std::optional<QString>& customUserID = std::nullopt);

    // Preset signals: fixed names and keys; the caller's parameters win on an equal key.
    static void acquiredUser(const QString& channel, const Parameters& parameters = {},
                             const std::optional<QString>& customUserID = std::nullopt);
    static void leadStarted(const QString& leadID, const Parameters& parameters = {},
                            const std::optional<QString>& customUserID = std::nullopt);
    static void leadConverted(const QString& leadID, const Parameters& parameters = {},
                              const std::optional<QString>& customUserID = std::nullopt);
    static void onboardingCompleted(const Parameters& parameters = {}, const std::optional<QString>& customUserID = std::nullopt);
    static void coreFeatureUsed(const QString& featureName, const Parameters& parameters = {},
                                const std::optional<QString>& customUserID = std::nullopt);
    static void referralSent(int receiversCount = 1, const std::optional<QString>& kind = std::nullopt,
                             const Parameters& parameters = {}, const std::optional<QString>& customUserID = std::nullopt);
    // Only ratings from 0 to 10 are sent; others log "Rating must be between 0 and 10".
    static void userRatingSubmitted(int rating, const std::optional<QString>& comment = std::nullopt,
                                    const Parameters& parameters = {}, const std::optional<QString>& customUserID = std::nullopt);
    static void paywallShown(const QString& reason, const Parameters& parameters = {},
                             const std::optional<QString>& customUserID = std::nullopt);
    static void errorOccurred(const QString& id, std::optional<ErrorCategory> category = std::nullopt,
                              const std::optional<QString>& message = std::nullopt, const Parameters& parameters = {},
                              std::optional<double> floatValue = std::nullopt,
                              const std::optional<QString>& customUserID = std::nullopt);
    // The message is the error's localized description.
    static void errorOccurred(const IdentifiableError& identifiableError, ErrorCategory category = ErrorCategory::thrownException,
                              const Parameters& parameters = {}, std::optional<double> floatValue = std::nullopt,
                              const std::optional<QString>& customUserID = std::nullopt);
    // The message only when given, never the error's description.
    static void errorOccurred(const IdentifiableError& identifiableError, ErrorCategory category,
                              const std::optional<QString>& message, const Parameters& parameters = {},
                              std::optional<double> floatValue = std::nullopt,
                              const std::optional<QString>& customUserID = std::nullopt);
    static void navigationPathChanged(const QString& from, const QString& to,
                                      const std::optional<QString>& customUserID = std::nullopt);
    // From the destination of the previous navigation (empty for the first).
    static void navigationPathChanged(const QString& to, const std::optional<QString>& customUserID = std::nullopt);
    static void navigate(const QString& from, const QString& to, const std::optional<QString>& customUserID = std::nullopt);
    static void navigate(const QString& to, const std::optional<QString>& customUserID = std::nullopt);
    // Reports `path` as a navigation each time `view` (a widget or a window) is shown.
    static void trackNavigation(QObject* view, const QString& path);

    // A completed purchase with its price in US dollars, or the start of a free trial, which is
    // then watched until it converts.
    static void purchaseCompleted(const Transaction& transaction, const Parameters& parameters = {},
                                  const std::optional<QString>& customUserID = std::nullopt);
};

} // namespace signalry
