// The preset signals of `Signalry`: fixed names and keys for common product events.
#include "signalry/Signalry.h"

#include "signalry/IdentifiableError.h"
#include "signalry/NavigationStatus.h"
#include "signalry/PurchaseValues.h"
#include "signalry/SignalryManager.h"
#include "signalry/SignalryManagerConfiguration.h"
#include "signalry/TrackNavigationModifier.h"
#include "signalry/Transaction.h"
#include "signalry/TrialConversionTracker.h"

namespace signalry {

namespace {
// The preset's own parameters, with the caller's written over them.
void sendPreset(const QString& signalType, const Parameters& own, const Parameters& callers, std::optional<double> floatValue,
                const std::optional<QString>& customUserID)
{
    SignalryManager::deliverSignal(signalType, merged(own, callers), floatValue, customUserID);
}

Parameters errorParameters(const QString& id, std::optional<ErrorCategory> category, const std::optional<QString>& message)
{
    Parameters parameters{{QStringLiteral("Signalry.Error.id"), id}};
    if (category)
        parameters.insert(QStringLiteral("Signalry.Error.category"), rawValue(*category));
    if (message)
        parameters.insert(QStringLiteral("Signalry.Error.message"), *message);
    return parameters;
}
} // namespace

void Signalry::acquiredUser(const QString& channel, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Acquisition.userAcquired"), {{QStringLiteral("Signalry.Acquisition.channel"), channel}},
               parameters, std::nullopt, customUserID);
}

void Signalry::leadStarted(const QString& leadID, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Acquisition.leadStarted"), {{QStringLiteral("Signalry.Acquisition.leadID"), leadID}},
               parameters, std::nullopt, customUserID);
}

void Signalry::leadConverted(const QString& leadID, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Acquisition.leadConverted"), {{QStringLiteral("Signalry.Acquisition.leadID"), leadID}},
               parameters, std::nullopt, customUserID);
}

void Signalry::onboardingCompleted(const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Activation.onboardingCompleted"), {}, parameters, std::nullopt, customUserID);
}

void Signalry::coreFeatureUsed(const QString& featureName, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Activation.coreFeatureUsed"),
               {{QStringLiteral("Signalry.Activation.featureName"), featureName}}, parameters, std::nullopt, customUserID);
}

void Signalry::referralSent(int receiversCount, const std::optional<QString>& kind, const Parameters& parameters,
                            const std::optional<QString>& customUserID)
{
    Parameters own{{QStringLiteral("Signalry.Referral.receiversCount"), QString::number(receiversCount)}};
    if (kind)
        own.insert(QStringLiteral("Signalry.Referral.kind"), *kind);
    sendPreset(QStringLiteral("Signalry.Referral.sent"), own, parameters, std::nullopt, customUserID);
}

void Signalry::userRatingSubmitted(int rating, const std::optional<QString>& comment, const Parameters& parameters,
                                   const std::optional<QString>& customUserID)
{
    if (rating < 0 || rating > 10) {
        if (const std::shared_ptr<SignalryManager> manager = SignalryManager::shared())
            manager->configuration()->log(LogHandler::LogLevel::Error, QStringLiteral("Rating must be between 0 and 10"));
        return;
    }
    Parameters own{{QStringLiteral("Signalry.Referral.ratingValue"), QString::number(rating)}};
    if (comment)
        own.insert(QStringLiteral("Signalry.Referral.ratingComment"), *comment);
    sendPreset(QStringLiteral("Signalry.Referral.userRatingSubmitted"), own, parameters, std::nullopt, customUserID);
}

void Signalry::paywallShown(const QString& reason, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Revenue.paywallShown"), {{QStringLiteral("Signalry.Revenue.paywallShowReason"), reason}},
               parameters, std::nullopt, customUserID);
}

void Signalry::errorOccurred(const QString& id, std::optional<ErrorCategory> category, const std::optional<QString>& message,
                             const Parameters& parameters, std::optional<double> floatValue,
                             const std::optional<QString>& customUserID)
{
    sendPreset(QStringLiteral("Signalry.Error.occurred"), errorParameters(id, category, message), parameters, floatValue,
               customUserID);
}

void Signalry::errorOccurred(const IdentifiableError& identifiableError, ErrorCategory category, const Parameters& parameters,
                             std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    errorOccurred(identifiableError.id(), category, identifiableError.localizedDescription(), parameters, floatValue, customUserID);
}

void Signalry::errorOccurred(const IdentifiableError& identifiableError, ErrorCategory category,
                             const std::optional<QString>& message, const Parameters& parameters,
                             std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    errorOccurred(identifiableError.id(), category, message, parameters, floatValue, customUserID);
}

void Signalry::navigationPathChanged(const QString& from, const QString& to, const std::optional<QString>& customUserID)
{
    NavigationStatus::setPreviousNavigationPath(to);
    const Parameters parameters{
        {QStringLiteral("Signalry.Navigation.schemaVersion"), QStringLiteral("1")},
        {QStringLiteral("Signalry.Navigation.identifier"), from + QStringLiteral(" -> ") + to},
        {QStringLiteral("Signalry.Navigation.sourcePath"), from},
        {QStringLiteral("Signalry.Navigation.destinationPath"), to},
    };
    SignalryManager::deliverSignal(QStringLiteral("Signalry.Navigation.pathChanged"), parameters, std::nullopt, customUserID);
}

void Signalry::navigationPathChanged(const QString& to, const std::optional<QString>& customUserID)
{
    navigationPathChanged(NavigationStatus::previousNavigationPath().value_or(QString()), to, customUserID);
}

void Signalry::navigate(const QString& from, const QString& to, const std::optional<QString>& customUserID)
{
    navigationPathChanged(from, to, customUserID);
}

void Signalry::navigate(const QString& to, const std::optional<QString>& customUserID) { navigationPathChanged(to, customUserID); }

void Signalry::trackNavigation(QObject* view, const QString& path)
{
    if (view)
        new TrackNavigationModifier(view, path);
}

void Signalry::purchaseCompleted(const Transaction& transaction, const Parameters& parameters,
                                 const std::optional<QString>& customUserID)
{
    const Parameters purchase = PurchaseValues::purchaseParameters(transaction);
    if (!PurchaseValues::isFreeTrialStart(transaction)) {
        sendPreset(QStringLiteral("Signalry.Purchase.completed"), purchase, parameters,
                   PurchaseValues::purchaseValueInUSD(transaction), customUserID);
        return;
    }
    sendPreset(QStringLiteral("Signalry.Purchase.freeTrialStarted"), purchase, parameters, std::nullopt, customUserID);
    TrialConversionTracker& tracker = TrialConversionTracker::shared();
    tracker.storeTrial(StoredTrial{transaction.productID, transaction.originalID});
    tracker.startObservingTransactions();
}

} // namespace signalry
