#pragma once

#include "signalry/StoredTrial.h"

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace signalry {

class DefaultsSuite;
struct TransactionUpdate;

// Watches a started free trial ("lastTrial" in the analytics defaults suite) in the store's
// update stream until it converts into a paid subscription, reported once as
// "Signalry.Purchase.convertedFromTrial", or ends (revoked, expired, upgraded) without a signal.
// Updates may arrive on any thread.
class TrialConversionTracker : public QObject {
    Q_OBJECT

public:
    using SuiteLookup = std::function<std::shared_ptr<DefaultsSuite>()>;

    // Starts watching at once when a trial is stored.
    explicit TrialConversionTracker(SuiteLookup suiteLookup, QObject* parent = nullptr);
    ~TrialConversionTracker() override;
    static TrialConversionTracker& shared();

    // Saves the trial, or removes the stored one when given nothing.
    void storeTrial(const std::optional<StoredTrial>& trial);
    std::optional<StoredTrial> loadStoredTrial() const;
    // Restarts watching the current transaction source.
    void startObservingTransactions();
    bool isObserving() const;

private:
    void handleUpdate(const TransactionUpdate& update);
    void stopObservingLocked();

    const SuiteLookup suiteLookup_;
    mutable std::mutex mutex_;
    QMetaObject::Connection observation_;
};

} // namespace signalry
