#include "signalry/SignalManager.h"

#include "signalry/Clock.h"
#include "signalry/DefaultSignalPayload.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/Sha256Hex.h"
#include "signalry/SignalEnricher.h"
#include "signalry/SignalSender.h"
#include "signalry/SignalryManager.h"
#include "signalry/SignalryManagerConfiguration.h"

#include <QCoreApplication>
#include <QUuid>

#include <exception>

namespace signalry {

using Level = LogHandler::LogLevel;

namespace {
const QString kDefaultUserIdentifierKey = QStringLiteral("defaultUserIdentifier");
} // namespace

SignalManager::SignalManager(std::shared_ptr<SignalryManagerConfiguration> configuration, const QString& cacheFilePath)
    : configuration_(std::move(configuration)),
      signalCache_(SignalCache::open(
          cacheFilePath, configuration_->swiftUIPreviewMode() ? std::nullopt : configuration_->logHandler())),
      sender_(new SignalSender(configuration_, signalCache_))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &lifetime_, [this] { appWillTerminate(); });
    timerThread_.setObjectName(QStringLiteral("com.signalry.SignalTimer"));
    timerThread_.start();
    sender_->moveToThread(&timerThread_);
    QMetaObject::invokeMethod(sender_, [sender = sender_] { sender->start(); }, Qt::QueuedConnection);
}

SignalManager::~SignalManager()
{
    stopSending();
    drainPending();
    signalCache_->saveIfChanged();
    delete sender_;
}

void SignalManager::enqueueSignal(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                                  const std::optional<QString>& customUserID,
                                  const std::shared_ptr<SignalryManagerConfiguration>& configuration)
{
    PendingSignal pending{signalType, parameters, floatValue, customUserID, defaultUserIdentifier(),
                          DefaultSignalPayload::parameters(), configuration};
    std::lock_guard lock(pendingMutex_);
    pending_.append(std::move(pending));
    if (drainScheduled_)
        return;
    drainScheduled_ = true;
    QMetaObject::invokeMethod(sender_, [this] { drainPending(); }, Qt::QueuedConnection);
}

SignalPostBody SignalManager::buildRecord(const PendingSignal& pending)
{
    const SignalryManagerConfiguration& configuration = *pending.configuration;
    Parameters enriched;
    const auto enrichers = configuration.metadataEnrichers();
    for (const auto& enricher : enrichers) {
        // An enricher is the application's code running on the timer thread: its failure costs
        // its entries, never the signal or the thread.
        try {
            enriched = merged(std::move(enriched), enricher->enrich(pending.type, pending.customUserID, pending.floatValue));
        } catch (const std::exception& error) {
            configuration.log(Level::Error, QStringLiteral("Signal enricher failed: ") + QString::fromUtf8(error.what()));
        } catch (...) {
            configuration.log(Level::Error, QStringLiteral("Signal enricher failed"));
        }
    }

    SignalPostBody body;
    body.receivedAt = Clock::current().now();
    body.appID = configuration.signalryAppID();
    body.clientUser = sha256Hex(pending.customUserID.value_or(pending.userIdentifier), configuration.salt());
    body.sessionID = configuration.sessionID().toString(QUuid::WithoutBraces).toUpper();
    body.type = pending.type;
    body.floatValue = pending.floatValue;
    body.payload = merged(merged(pending.defaultPayload, enriched), pending.parameters);
    body.isTestMode = configuration.testMode() ? QStringLiteral("true") : QStringLiteral("false");
    return body;
}

void SignalManager::drainPending()
{
    QList<PendingSignal> drained;
    {
        std::lock_guard lock(pendingMutex_);
        drained.swap(pending_);
        drainScheduled_ = false;
    }
    if (drained.isEmpty())
        return;
    QList<SignalPostBody> records;
    records.reserve(drained.size());
    for (const PendingSignal& pending : drained) {
        records.append(buildRecord(pending));
        if (passes(pending.configuration->logHandler(), Level::Debug))
            pending.configuration->log(Level::Debug, QStringLiteral("Process signal: ") + records.last().description());
    }
    signalCache_->pushSignals(records);
    sender_->recordsArrived();
}

void SignalManager::sendNextBatch()
{
    QMetaObject::invokeMethod(sender_, [sender = sender_] { sender->sendNextBatch(false); }, Qt::QueuedConnection);
}

void SignalManager::appWillTerminate()
{
    configuration_->log(Level::Debug, QStringLiteral("appWillTerminate()"));
    stopSending();
    drainPending();
    signalCache_->saveToDisk();
}

QString SignalManager::defaultUserIdentifier() const
{
    if (std::optional<QString> user = configuration_->defaultUser())
        return *user;
    const std::shared_ptr<DefaultsSuite> suite = SignalryManager::analyticsDefaultsSuite();
    if (suite) {
        if (std::optional<QString> stored = suite->string(kDefaultUserIdentifierKey))
            return *stored;
    }
    const QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (suite)
        suite->setString(kDefaultUserIdentifierKey, fresh);
    return fresh;
}

void SignalManager::stopSending()
{
    if (!timerThread_.isRunning())
        return;
    // Runs after every drain posted before it, so no handed-over signal is lost.
    QThread* here = QThread::currentThread();
    QMetaObject::invokeMethod(sender_, [sender = sender_, here] { sender->stop(here); }, Qt::BlockingQueuedConnection);
    timerThread_.quit();
    timerThread_.wait();
}

} // namespace signalry
