#include "signalry/SignalSender.h"

#include "signalry/Clock.h"
#include "signalry/SignalCache.h"
#include "signalry/SignalryError.h"
#include "signalry/SignalryManagerConfiguration.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

namespace signalry {

using Level = LogHandler::LogLevel;

namespace {
constexpr int kRequestTimeoutMs = 60'000;
} // namespace

SignalSender::SignalSender(std::shared_ptr<SignalryManagerConfiguration> configuration, std::shared_ptr<SignalCache> cache)
    : configuration_(std::move(configuration)), cache_(std::move(cache))
{
}

SignalSender::~SignalSender() = default;

void SignalSender::start()
{
    network_ = new QNetworkAccessManager(this);
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(static_cast<int>(SendBackoff::kSendIntervalSeconds * 1000));
    connect(timer_, &QTimer::timeout, this, [this] {
        sendNextBatch(true);
        save();
    });
    // Read here, off the GUI thread; records saved at the last termination leave right after.
    cache_->load();
    sendNextBatch(false);
    timer_->start();
}

void SignalSender::sendNextBatch(bool scheduled)
{
    if (stopped_ || !network_)
        return;
    if (scheduled && !backoff_.allowsSendAt(Clock::current().monotonicSeconds()))
        return;
    configuration_->log(Level::Debug, QStringLiteral("Current signal cache count: %1").arg(cache_->count()));
    const SignalCache::Batch batch = cache_->popBatch();
    if (batch.records.isEmpty())
        return;
    configuration_->log(Level::Info, QStringLiteral("Sending %1 signals leaving a cache of %2 signals")
                                         .arg(batch.records.size())
                                         .arg(cache_->count()));
    post(batch);
}

void SignalSender::recordsArrived()
{
    if (stopped_)
        return;
    const double now = Clock::current().monotonicSeconds();
    if (lastSave_ && now - *lastSave_ < SendBackoff::kSendIntervalSeconds)
        return;
    save();
}

void SignalSender::save()
{
    lastSave_ = Clock::current().monotonicSeconds();
    cache_->saveIfChanged();
}

void SignalSender::stop(QThread* target)
{
    stopped_ = true;
    if (timer_)
        timer_->stop();
    if (!inFlight_.isEmpty()) {
        QEventLoop wait;
        QTimer::singleShot(kQuitWaitMs, &wait, &QEventLoop::quit);
        quitWait_ = &wait;
        wait.exec();
        quitWait_ = nullptr;
    }
    // Nobody will hear these answers any more; their batches count as not delivered.
    const auto replies = inFlight_.keys();
    for (QNetworkReply* reply : replies) {
        cache_->requeue(inFlight_.take(reply));
        reply->disconnect(this);
        reply->abort();
        delete reply;
    }
    delete network_;
    network_ = nullptr;
    delete timer_;
    timer_ = nullptr;
    moveToThread(target);
}

QUrl SignalSender::endpointUrl(const QUrl& baseUrl, const std::optional<QString>& namespaceName)
{
    const QString path = namespaceName && !namespaceName->isEmpty()
        ? QStringLiteral("/v2/namespace/") + *namespaceName + QStringLiteral("/")
        : QStringLiteral("/v2/");
    const QUrl relative(path, QUrl::StrictMode);
    if (!baseUrl.isValid() || baseUrl.isRelative() || !relative.isValid())
        return {};
    return baseUrl.resolved(relative).adjusted(QUrl::NormalizePathSegments);
}

bool SignalSender::isPermanentFailure(int statusCode)
{
    switch (statusCode) {
    case 400:
    case 401:
    case 403:
    case 404:
    case 413:
    case 422:
        return true;
    default:
        return false;
    }
}

void SignalSender::post(const SignalCache::Batch& batch)
{
    const QUrl url = endpointUrl(configuration_->apiBaseURL(), configuration_->namespaceName());
    if (!url.isValid()) {
        configuration_->log(Level::Error, QStringLiteral("Unable to construct signal API URL for namespace ")
                                              + configuration_->namespaceName().value_or(QStringLiteral("nil")));
        requeue(SignalryError::invalidEndpointUrl().description(), batch.id);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kRequestTimeoutMs);
    request.setSslConfiguration(configuration_->sslConfiguration());
    const QByteArray body = SignalPostBody::encodeWireBatch(batch.records);
    if (passes(configuration_->logHandler(), Level::Debug))
        configuration_->log(Level::Debug, QString::fromUtf8(body));

    QNetworkReply* reply = network_->post(request, body);
    inFlight_.insert(reply, batch.id);
    if (const auto check = configuration_->certificateCheck()) {
        connect(reply, &QNetworkReply::sslErrors, this, [reply, check](const QList<QSslError>& errors) {
            if (check(*reply, errors))
                reply->ignoreSslErrors(errors);
        });
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void SignalSender::finish(QNetworkReply* reply)
{
    reply->deleteLater();
    const quint64 batch = inFlight_.take(reply);
    // stop() waits only as long as answers are due.
    if (quitWait_ && inFlight_.isEmpty())
        quitWait_->quit();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        // No HTTP answer at all: the transfer failed, or something that is not HTTP answered.
        requeue(reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                          : SignalryError::forStatusCode(0).description(),
                batch);
        return;
    }
    const int statusCode = status.toInt();
    if (statusCode < 200 || statusCode > 299) {
        const QString description = SignalryError::forStatusCode(statusCode).description();
        if (!isPermanentFailure(statusCode)) {
            requeue(description, batch);
            return;
        }
        // Sending the same records again would be refused again.
        backoff_.recordSuccess();
        configuration_->log(Level::Error, description);
        const int dropped = cache_->confirm(batch);
        configuration_->log(Level::Error, QStringLiteral("Dropped %1 signals the ingest service refused").arg(dropped));
        return;
    }
    backoff_.recordSuccess();
    cache_->confirm(batch);
    if (passes(configuration_->logHandler(), Level::Debug)) {
        const QByteArray answer = reply->readAll();
        if (!answer.isEmpty())
            configuration_->log(Level::Debug, QString::fromUtf8(answer));
    }
}

void SignalSender::requeue(const QString& reason, quint64 batchId)
{
    configuration_->log(Level::Error, reason);
    cache_->requeue(batchId);
    backoff_.recordFailure(Clock::current().monotonicSeconds());
}

} // namespace signalry
