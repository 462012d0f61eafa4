#pragma once

#include "signalry/SendBackoff.h"
#include "signalry/SignalCache.h"
#include "signalry/SignalPostBody.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QUrl;

namespace signalry {

class SignalryManagerConfiguration;

// Posts the cache to the ingest service: loads the cache file and sends one batch at start, then
// one every 10 seconds, and one on request; each tick also saves the cache when it changed. New
// records are saved at once when no save happened in the last 10 seconds (the first of a run
// always), so a kill right after the start loses nothing; later ones wait for the tick.
// Lives in the signal manager's timer thread; every method below runs there. A delivered batch
// is forgotten; a batch refused for good (400, 401, 403, 404, 413, 422) is dropped and logged;
// any other failure puts it back at the end of the cache and makes the scheduled sends back off.
class SignalSender : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuitWaitMs = 3'000;

    SignalSender(std::shared_ptr<SignalryManagerConfiguration> configuration, std::shared_ptr<SignalCache> cache);
    ~SignalSender() override;

    void start();
    // A scheduled send waits out the back-off; a requested one does not.
    void sendNextBatch(bool scheduled);
    // New records are in the cache.
    void recordsArrived();
    // Stops the timer, waits up to kQuitWaitMs for the answers to the batches in flight (so a
    // batch the service took is not sent again at the next start), puts the unanswered ones back
    // into the cache and moves this object to `target`, where it only builds records from then on.
    void stop(QThread* target);

    // "/v2/", or "/v2/namespace/<namespace>/", resolved against the base; invalid when none results.
    static QUrl endpointUrl(const QUrl& baseUrl, const std::optional<QString>& namespaceName);
    static bool isPermanentFailure(int statusCode);

private:
    void post(const SignalCache::Batch& batch);
    void finish(QNetworkReply* reply);
    void requeue(const QString& reason, quint64 batchId);
    void save();

    const std::shared_ptr<SignalryManagerConfiguration> configuration_;
    const std::shared_ptr<SignalCache> cache_;
    QTimer* timer_ = nullptr;
    QNetworkAccessManager* network_ = nullptr;
    QHash<QNetworkReply*, quint64> inFlight_;
    // Runs while stop() waits for the last answers.
    QEventLoop* quitWait_ = nullptr;
    SendBackoff backoff_;
    // When the cache was last saved, on the monotonic clock; none yet in this run.
    std::optional<double> lastSave_;
    bool stopped_ = false;
};

} // namespace signalry
