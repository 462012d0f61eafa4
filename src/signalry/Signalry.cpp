#include "signalry/Signalry.h"

#include "signalry/DurationSignalTracker.h"
#include "signalry/ReservedNames.h"
#include "signalry/SignalryManager.h"
#include "signalry/SignalryManagerConfiguration.h"

namespace signalry {

void Signalry::initialize(std::shared_ptr<SignalryManagerConfiguration> config) { SignalryManager::initialize(std::move(config)); }

void Signalry::terminate() { SignalryManager::terminate(); }

void Signalry::signal(const QString& signalName, const Parameters& parameters, std::optional<double> floatValue,
                      const std::optional<QString>& customUserID)
{
    const std::shared_ptr<SignalryManager> manager = SignalryManager::shared();
    if (!manager) {
        SignalryManager::deliverSignal(signalName, parameters, floatValue, customUserID);
        return;
    }
    const SignalryManagerConfiguration& configuration = *manager->configuration();
    if (configuration.swiftUIPreviewMode() || configuration.analyticsDisabled())
        return;
    const QString fullName = configuration.defaultSignalPrefix().value_or(QString()) + signalName;
    const Parameters prefixed = prefixedParameters(parameters, configuration);
    if (configuration.reservedParameterWarningsEnabled()) {
        ReservedNames::warnAboutSignalName(configuration, fullName);
        ReservedNames::warnAboutParameterKeys(configuration, prefixed);
    }
    manager->deliver(fullName, prefixed, floatValue, customUserID);
}

void Signalry::generateNewSession()
{
    if (const std::shared_ptr<SignalryManager> manager = SignalryManager::shared())
        manager->generateNewSession();
}

void Signalry::requestImmediateSync()
{
    if (const std::shared_ptr<SignalryManager> manager = SignalryManager::shared())
        manager->requestImmediateSync();
}

void Signalry::updateDefaultUserID(std::optional<QString> user)
{
    if (const std::shared_ptr<SignalryManager> manager = SignalryManager::shared())
        manager->updateDefaultUser(std::move(user));
}

void Signalry::startDurationSignal(const QString& signalName, const Parameters& parameters, bool includeBackgroundTime)
{
    DurationSignalTracker::shared().startTracking(signalName, parameters, includeBackgroundTime);
}

void Signalry::cancelDurationSignal(const QString& signalName) { DurationSignalTracker::shared().stopTracking(signalName); }

void Signalry::stopAndSendDurationSignal(const QString& signalName, const Parameters& parameters, std::optional<double> floatValue,
                                         const std::optional<QString>& customUserID)
{
    const std::optional<DurationSignalTracker::Measurement> measured = DurationSignalTracker::shared().stopTracking(signalName);
    if (!measured)
        return;
    SignalryManager::deliverSignal(signalName, DurationSignalTracker::signalParameters(*measured, parameters), floatValue,
                                   customUserID);
}

} // namespace signalry
