#pragma once

#include "signalry/SignalCache.h"
#include "signalry/SignalManageable.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <mutex>

namespace signalry {

class SignalSender;

// Turns accepted signals into records and hands them to the cache and the sender. The default
// payload and the user identifier are taken on the GUI thread; the record is built, and batches
// are posted, on the timer thread "com.signalry.SignalTimer", which also reads and periodically
// saves the cache file. At application quit the batches in flight get a moment to be answered,
// those still unanswered come back, and the cache is saved; a manager destroyed earlier saves
// what changed. Created and destroyed on the GUI thread.
class SignalManager : public SignalManageable {
public:
    explicit SignalManager(std::shared_ptr<SignalryManagerConfiguration> configuration,
                           const QString& cacheFilePath = SignalCache::defaultFilePath());
    ~SignalManager() override;
    SignalManager(const SignalManager&) = delete;
    SignalManager& operator=(const SignalManager&) = delete;

    void enqueueSignal(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                       const std::optional<QString>& customUserID,
                       const std::shared_ptr<SignalryManagerConfiguration>& configuration) override;
    void sendNextBatch() override;
    void appWillTerminate() override;

    // The configured default user, else the installation's stored random identifier (made and
    // stored on first use).
    QString defaultUserIdentifier() const override;
    SignalCache& signalCache() const { return *signalCache_; }

private:
    // A signal as handed over by the GUI thread, before it becomes a record.
    struct PendingSignal {
        QString type;
        Parameters parameters;
        std::optional<double> floatValue;
        std::optional<QString> customUserID;
        QString userIdentifier;
        Parameters defaultPayload;
        std::shared_ptr<SignalryManagerConfiguration> configuration;
    };

    static SignalPostBody buildRecord(const PendingSignal& pending);
    // Builds the records of every pending signal and caches them, in the order they were sent.
    void drainPending();
    void stopSending();

    const std::shared_ptr<SignalryManagerConfiguration> configuration_;
    const std::shared_ptr<SignalCache> signalCache_;
    QThread timerThread_;
    SignalSender* sender_;
    QObject lifetime_;
    std::mutex pendingMutex_;
    QList<PendingSignal> pending_;
    // A drain is on its way to the timer thread: later signals ride along without waking it again.
    bool drainScheduled_ = false;
};

} // namespace signalry
