#include "signalry/TrialConversionTracker.h"

#include "signalry/Clock.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/PurchaseValues.h"
#include "signalry/SignalryManager.h"
#include "signalry/TransactionSource.h"

namespace signalry {

namespace {
const QString kLastTrialKey = QStringLiteral("lastTrial");

bool endedWithoutConversion(const Transaction& transaction)
{
    return transaction.revocationDate || (transaction.expirationDate && *transaction.expirationDate < Clock::current().now())
        || transaction.isUpgraded;
}
} // namespace

TrialConversionTracker::TrialConversionTracker(SuiteLookup suiteLookup, QObject* parent)
    : QObject(parent), suiteLookup_(std::move(suiteLookup))
{
    if (loadStoredTrial())
        startObservingTransactions();
}

TrialConversionTracker::~TrialConversionTracker()
{
    std::lock_guard lock(mutex_);
    stopObservingLocked();
}

TrialConversionTracker& TrialConversionTracker::shared()
{
    static auto* instance = new TrialConversionTracker([] { return SignalryManager::analyticsDefaultsSuite(); });
    return *instance;
}

void TrialConversionTracker::storeTrial(const std::optional<StoredTrial>& trial)
{
    const std::shared_ptr<DefaultsSuite> suite = suiteLookup_();
    if (!suite)
        return;
    if (trial)
        suite->setData(kLastTrialKey, trial->encode());
    else
        suite->remove(kLastTrialKey);
}

std::optional<StoredTrial> TrialConversionTracker::loadStoredTrial() const
{
    const std::shared_ptr<DefaultsSuite> suite = suiteLookup_();
    const std::optional<QByteArray> data = suite ? suite->data(kLastTrialKey) : std::nullopt;
    return data ? StoredTrial::decode(*data) : std::nullopt;
}

void TrialConversionTracker::startObservingTransactions()
{
    std::lock_guard lock(mutex_);
    stopObservingLocked();
    observation_ = connect(&TransactionSource::current(), &TransactionSource::transactionUpdated, this,
                           &TrialConversionTracker::handleUpdate, Qt::DirectConnection);
}

bool TrialConversionTracker::isObserving() const
{
    std::lock_guard lock(mutex_);
    return static_cast<bool>(observation_);
}

void TrialConversionTracker::handleUpdate(const TransactionUpdate& update)
{
    // One update at a time, so a conversion is reported once even when updates race.
    std::lock_guard lock(mutex_);
    if (!update.verified || !observation_)
        return;
    const std::optional<StoredTrial> trial = loadStoredTrial();
    const Transaction& transaction = update.transaction;
    if (!trial || transaction.productID != trial->productID || transaction.originalID != trial->originalTransactionID)
        return;
    if (endedWithoutConversion(transaction)) {
        storeTrial(std::nullopt);
        stopObservingLocked();
        return;
    }
    if (PurchaseValues::isFreeTrialTransaction(transaction))
        return;
    SignalryManager::deliverSignal(QStringLiteral("Signalry.Purchase.convertedFromTrial"),
                                   PurchaseValues::purchaseParameters(transaction),
                                   PurchaseValues::purchaseValueInUSD(transaction), std::nullopt);
    storeTrial(std::nullopt);
    stopObservingLocked();
}

void TrialConversionTracker::stopObservingLocked()
{
    disconnect(observation_);
    observation_ = {};
}

} // namespace signalry
