#include "pictor/networking/SessionDelegate.h"

#include "pictor/networking/DataReceivingSideEffect.h"
#include "pictor/networking/ImageDownloadRedirectHandler.h"
#include "pictor/networking/SessionManagers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace pictor {

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

URLResponse responseOf(QNetworkReply& reply)
{
    URLResponse response;
    response.url = reply.url();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        response.statusCode = status.toInt();
    const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
    response.expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    response.headers = reply.rawHeaderPairs();
    return response;
}

// Qt reports an HTTP error status as a reply error too; the status itself was already judged.
bool isTransportError(const QNetworkReply& reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    const bool statusError = (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
                             || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return !(statusError && reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
}

bool isHttp(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isHttps(const QUrl& url) { return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0; }

bool sameOrigin(const QUrl& one, const QUrl& other)
{
    return one.scheme().compare(other.scheme(), Qt::CaseInsensitive) == 0 && one.host() == other.host()
           && one.port(isHttps(one) ? 443 : 80) == other.port(isHttps(other) ? 443 : 80);
}

// Where a redirecting answer sends the transfer, made absolute against the URL it answered;
// empty for any other answer, a redirecting status without a Location among them.
QUrl redirectTarget(const QNetworkReply& reply)
{
    switch (reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()) {
    case 301: case 302: case 303: case 307: case 308:
        break;
    default:
        return {};
    }
    const QByteArray location = reply.rawHeader("Location");
    const QUrl target(QString::fromUtf8(location));
    if (location.isEmpty() || !target.isValid())
        return {};
    return reply.url().resolved(target);
}

QCoro::Task<> askDisposition(std::weak_ptr<SessionDelegate> weak, URLResponse response,
                             std::function<void(std::optional<ResponseDisposition>)> apply)
{
    std::optional<ResponseDisposition> answer;
    try {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        if (!self)
            co_return;
        auto pending = self->onResponseReceived.callAsync(std::move(response));
        self.reset();
        answer = co_await std::move(pending);
    } catch (...) {
        answer = std::nullopt;
    }
    apply(answer);
}

QCoro::Task<> askRedirect(std::shared_ptr<const ImageDownloadRedirectHandler> handler, std::shared_ptr<SessionDataTask> task,
                          URLResponse response, QNetworkRequest request,
                          std::function<void(std::optional<QNetworkRequest>)> apply)
{
    std::optional<QNetworkRequest> answer;
    try {
        answer = co_await handler->handleHTTPRedirection(std::move(task), std::move(response), std::move(request));
    } catch (...) {
        answer = std::nullopt;
    }
    apply(std::move(answer));
}

// A request carries the transfer's time-out as Qt's idle time-out: a shorter one of its own stays.
void boundTimeout(QNetworkRequest& request, int milliseconds)
{
    if (milliseconds > 0 && (request.transferTimeout() <= 0 || request.transferTimeout() > milliseconds))
        request.setTransferTimeout(milliseconds);
}

// The jar's cookies for the request's URL join those the request names itself, replacing any of
// the same name; Qt's own cookie handling is off, its jar being the manager's, shared by trust.
void addCookies(QNetworkRequest& request, QNetworkCookieJar& jar)
{
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    const QList<QNetworkCookie> stored = jar.cookiesForUrl(request.url());
    if (stored.isEmpty())
        return;
    QSet<QByteArray> named;
    for (const QNetworkCookie& cookie : stored)
        named.insert(cookie.name());
    QList<QByteArray> pairs;
    for (const QByteArray& given : request.rawHeader("Cookie").split(';')) {
        const QByteArray pair = given.trimmed();
        if (!pair.isEmpty() && !named.contains(pair.left(pair.indexOf('='))))
            pairs.append(pair);
    }
    for (const QNetworkCookie& cookie : stored)
        pairs.append(cookie.toRawForm(QNetworkCookie::NameAndValueOnly));
    request.setRawHeader("Cookie", pairs.join("; "));
}

// Stops a reply and frees it, with the place it holds among the host's connections. Qt's HTTP
// stack stalls every other request to the host when a reply is aborted before the stack has taken
// it up (a busy machine may take a while): such a reply is aborted once it is, that is once it is
// sent, its connection is encrypted or its answer begins, and at the latest kTakeUpGraceMs after
// it was handed over. One still not taken up then may be waiting for a connection the host does
// not make, which Qt would go on trying to make for the host's next requests: the manager renews
// the host's network unless the host has taken up another request meanwhile.
const char* const kTakenUp = "pictorTakenUp";

void stopReply(QNetworkReply* reply, SessionManager::Ticket place, std::weak_ptr<SessionManager> manager)
{
    if (!reply)
        return;
    QObject::disconnect(reply, nullptr, reply, nullptr);
    // Every copy holds the place, and every copy is held by the reply's connections: the place
    // is given back when the reply is deleted, at once after it is stopped.
    auto stop = [reply, place = std::move(place)] {
        reply->abort();
        reply->deleteLater();
    };
    if (reply->property(kTakenUp).toBool() || reply->isFinished())
        return stop();
    QObject::connect(reply, &QNetworkReply::requestSent, reply, stop);
    QObject::connect(reply, &QNetworkReply::encrypted, reply, stop);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, stop);
    // A timer of the reply's own, not Qt's single-shot one, which would keep its copy of the
    // place until it fires even when the reply was stopped long before.
    auto* grace = new QTimer(reply);
    grace->setSingleShot(true);
    // Renewed before the place is given back, so that the host's next request goes on the new network.
    QObject::connect(grace, &QTimer::timeout, reply, [reply, stop, manager = std::move(manager)] {
        if (const std::shared_ptr<SessionManager> held = manager.lock())
            held->letGoUnanswered(reply, 0);
        stop();
    });
    grace->start(SessionManager::kTakeUpGraceMs);
}

// Why a reply failed, or nothing when it did not.
QString failureOf(const QNetworkReply& reply)
{
    // Qt ends a request it timed out itself (nothing arrived for its idle time-out) as cancelled.
    if (reply.error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("the transfer timed out: nothing arrived for %1 ms").arg(reply.request().transferTimeout());
    if (isTransportError(reply))
        return reply.errorString();
    return {};
}

} // namespace

std::shared_ptr<SessionDelegate> SessionDelegate::create() { return std::shared_ptr<SessionDelegate>(new SessionDelegate()); }

void SessionDelegate::LaterDelete::operator()(QObject* object) const { object->deleteLater(); }

SessionDelegate::SessionDelegate() : cookies_(std::make_unique<QNetworkCookieJar>()) {}

SessionDelegate::~SessionDelegate()
{
    // The application object may be destroying the last pending job that held this delegate,
    // under a lock that the manager's own thread needs: what is left open then goes at exit.
    if (QCoreApplication::closingDown())
        return;
    // Every transfer still open ends with its downloader. Its steps hold this object weakly, so
    // its end reaches nobody; the replies must be stopped and freed on the manager's thread.
    QList<std::pair<QPointer<QNetworkReply>, std::weak_ptr<SessionManager>>> open;
    for (const auto& [identifier, state] : transfers_)
        open.append({state.reply, state.manager});
    QMetaObject::invokeMethod(SessionManagers::home(), [open] {
        for (const auto& [reply, manager] : open)
            stopReply(reply, nullptr, manager);
    });
}

void SessionDelegate::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(SessionManagers::home(), std::move(job), Qt::AutoConnection);
}

std::shared_ptr<DownloadTask> SessionDelegate::addOrJoin(const QNetworkRequest& request, const QUrl& url,
                                                         SessionDataTask::TaskCallback callback, bool* created)
{
    std::lock_guard lock(mutex_);
    if (const auto filed = tasks_.constFind(url); filed != tasks_.constEnd()) {
        *created = false;
        const qint64 token = (*filed)->addCallback(std::move(callback));
        return std::make_shared<DownloadTask>(*filed, token);
    }
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    auto task = std::make_shared<SessionDataTask>(
        request,
        [weak](SessionDataTask& started) {
            // The trust of the moment the transfer starts, whenever its first request goes out.
            if (std::shared_ptr<SessionDelegate> self = weak.lock())
                self->post([weak, task = started.weak_from_this(), trust = self->trust()] {
                    std::shared_ptr<SessionDelegate> strong = weak.lock();
                    std::shared_ptr<SessionDataTask> target = task.lock();
                    if (strong && target)
                        strong->resume(target, trust);
                });
        },
        [weak](SessionDataTask& stopped) {
            if (std::shared_ptr<SessionDelegate> self = weak.lock())
                self->post([weak, id = stopped.identifier()] {
                    if (std::shared_ptr<SessionDelegate> strong = weak.lock())
                        strong->abort(id);
                });
        });
    std::weak_ptr<SessionDataTask> weakTask = task;
    task->onCallbackCancelled.setBlock([weak, weakTask](qint64 token, SessionDataTask::TaskCallback cancelled) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        std::shared_ptr<SessionDataTask> target = weakTask.lock();
        if (!self || !target)
            return false;
        self->handleCallbackCancelled(target, token, std::move(cancelled));
        return true;
    });
    const qint64 token = task->addCallback(std::move(callback));
    tasks_.insert(url, task);
    *created = true;
    return std::make_shared<DownloadTask>(task, token);
}

std::shared_ptr<SessionDataTask> SessionDelegate::task(const QUrl& url) const
{
    std::lock_guard lock(mutex_);
    return tasks_.value(url);
}

void SessionDelegate::cancel(const QUrl& url)
{
    if (std::shared_ptr<SessionDataTask> filed = task(url))
        filed->cancelAllCallbacks();
}

void SessionDelegate::cancelAll()
{
    QList<std::shared_ptr<SessionDataTask>> snapshot;
    {
        std::lock_guard lock(mutex_);
        snapshot = tasks_.values();
    }
    for (const std::shared_ptr<SessionDataTask>& filed : snapshot)
        filed->cancelAllCallbacks();
}

QList<SessionDelegate::Abandoned> SessionDelegate::invalidate()
{
    QList<Abandoned> waiting;
    QList<std::shared_ptr<SessionDataTask>> snapshot;
    {
        std::lock_guard lock(mutex_);
        snapshot = tasks_.values();
        tasks_.clear();
        for (const std::shared_ptr<SessionDataTask>& filed : snapshot) {
            for (auto& [token, callback] : filed->takeAllEntries())
                waiting.append({filed, token, std::move(callback)});
        }
    }
    for (const std::shared_ptr<SessionDataTask>& filed : snapshot)
        filed->abortTransfer();
    return waiting;
}

TrustConfiguration SessionDelegate::trust() const
{
    std::lock_guard lock(mutex_);
    return trust_;
}

// A new trust lets go of the old one's manager: once no transfer runs on it either, it goes with
// its open connections.
void SessionDelegate::setSslConfiguration(const QSslConfiguration& configuration)
{
    std::lock_guard lock(mutex_);
    trust_.ssl = configuration;
    manager_.reset();
}

void SessionDelegate::setTrustedHosts(std::optional<QSet<QString>> hosts)
{
    std::lock_guard lock(mutex_);
    trust_.trustedHosts = std::move(hosts);
    manager_.reset();
}

void SessionDelegate::setResponder(std::weak_ptr<AuthenticationChallengeResponsible> responder, quint64 key)
{
    std::lock_guard lock(mutex_);
    trust_.responder = std::move(responder);
    trust_.responderKey = key;
    manager_.reset();
}

std::shared_ptr<SessionManager> SessionDelegate::managerFor(const TrustConfiguration& trust)
{
    std::lock_guard lock(mutex_);
    if (!(trust == trust_))
        return SessionManagers::managerFor(trust);
    if (!manager_)
        manager_ = SessionManagers::managerFor(trust);
    return manager_;
}

SessionDelegate::Transfer* SessionDelegate::transfer(quint64 identifier)
{
    const auto found = transfers_.find(identifier);
    return found == transfers_.end() ? nullptr : &found->second;
}

void SessionDelegate::resume(const std::shared_ptr<SessionDataTask>& task, const TrustConfiguration& trust)
{
    if (this->task(task->originalURL()) != task)
        return; // every caller left before it started
    if (!isHttp(task->originalURL())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("unsupported URL scheme \"%1\"").arg(task->originalURL().scheme()))));
        return;
    }
    Transfer& state = transfers_[task->identifier()];
    state.trust = trust;
    state.manager = managerFor(trust);
    state.timeoutMs = task->request().transferTimeout();
    send(task, task->request());
}

void SessionDelegate::send(const std::shared_ptr<SessionDataTask>& task, QNetworkRequest request)
{
    // Qt's own following, asked to let a handler approve each hop, sends two hops and then ends
    // with no final answer; every redirection is followed here instead, one request at a time.
    // Set on each request, so that no request modifier can hand the following back to Qt.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    Transfer& state = transfers_[task->identifier()];
    request.setSslConfiguration(state.trust.ssl);
    boundTimeout(request, state.timeoutMs);
    state.responseChecked = false;
    // A redirection's next hop may wait for a place: that is no time of the transfer's.
    if (state.clock && state.clock->isActive()) {
        state.clockLeftMs = state.clock->remainingTime();
        state.clock->stop();
    }
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    auto step = [weak, weakTask](auto act) {
        return [weak, weakTask, act] {
            std::shared_ptr<SessionDelegate> self = weak.lock();
            std::shared_ptr<SessionDataTask> target = weakTask.lock();
            if (self && target)
                act(*self, target);
        };
    };
    // However long the host takes to give a place back, while other downloaders' requests hold
    // its connections on a time-out of their own, or none: this transfer's own bounds its wait.
    const int patience = state.timeoutMs;
    SessionManager::Patience waiting{patience, step([patience](SessionDelegate& self, const std::shared_ptr<SessionDataTask>& target) {
        self.timeOut(target, QStringLiteral("none of its host's connections came free for %1 ms").arg(patience));
    })};
    state.place = state.manager->passOn(std::move(state.place), request.url(), step([request](SessionDelegate& self, const std::shared_ptr<SessionDataTask>& target) {
        self.dispatch(target, request);
    }), std::move(waiting));
}

void SessionDelegate::dispatch(const std::shared_ptr<SessionDataTask>& task, const QNetworkRequest& given)
{
    Transfer* state = transfer(task->identifier());
    if (!state || state->reply)
        return;
    state->given = given;
    QNetworkRequest request = given;
    // Cookies set by an earlier answer, a redirection's among them, go with this request.
    addCookies(request, *cookies_);
    const quint64 id = task->identifier();
    const qint64 now = nowNs();
    if (state->raw.requests.isEmpty())
        state->raw.taskStartNs = now;
    // Before Qt's idle clock, which starts with the request.
    startClock(task, *state);
    NetworkMetrics::RequestTimes times;
    times.url = request.url();
    times.fetchStartNs = now;
    state->raw.requests.append(times);
    // The manager may outlive this object by a turn of the event loop: every step holds it weakly.
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    QNetworkReply* reply = state->manager->get(request, [weak, weakTask](QNetworkReply* replaced) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        std::shared_ptr<SessionDataTask> target = weakTask.lock();
        if (self && target)
            self->resendOffReplacedNetwork(target, replaced);
    });
    state->reply = reply;
    auto with = [weak, weakTask](void (SessionDelegate::*step)(const std::shared_ptr<SessionDataTask>&)) {
        return [weak, weakTask, step] {
            std::shared_ptr<SessionDelegate> self = weak.lock();
            std::shared_ptr<SessionDataTask> target = weakTask.lock();
            if (self && target)
                ((*self).*step)(target);
        };
    };
    // Stamps what the stack reports of this request in its entry of the transfer's timeline.
    auto stamp = [weak, id, reply](std::optional<qint64> NetworkMetrics::RequestTimes::*field) {
        return [weak, id, field, reply] {
            if (field != &NetworkMetrics::RequestTimes::connectStartNs)
                reply->setProperty(kTakenUp, true);
            std::shared_ptr<SessionDelegate> self = weak.lock();
            Transfer* stamped = self ? self->transfer(id) : nullptr;
            if (stamped && !stamped->raw.requests.isEmpty() && !(stamped->raw.requests.last().*field))
                stamped->raw.requests.last().*field = nowNs();
        };
    };
    QObject::connect(reply, &QNetworkReply::socketStartedConnecting, reply, stamp(&NetworkMetrics::RequestTimes::connectStartNs));
    QObject::connect(reply, &QNetworkReply::encrypted, reply, stamp(&NetworkMetrics::RequestTimes::secureConnectionEndNs));
    QObject::connect(reply, &QNetworkReply::requestSent, reply, stamp(&NetworkMetrics::RequestTimes::requestSentNs));
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [weak, reply, id](const QList<QSslError>& errors) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        const Transfer* challenged = self ? self->transfer(id) : nullptr;
        if (!challenged)
            return;
        // Judged by the trust the transfer started with, on whose manager the connection is pooled.
        const AuthenticationChallenge challenge{reply->url().host(), errors, challenged->trust};
        if (self->onReceiveSessionChallenge.call(challenge) == AuthChallengeDisposition::useCredential)
            reply->ignoreSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [weak, id](qint64 sent, qint64) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        if (Transfer* sending = self ? self->transfer(id) : nullptr; sending && !sending->raw.requests.isEmpty()) {
            qint64& counted = sending->raw.requests.last().requestBodyBytesSent;
            counted = std::max(counted, sent);
        }
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] { reply->setProperty(kTakenUp, true); });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, with(&SessionDelegate::handleResponse));
    QObject::connect(reply, &QNetworkReply::readyRead, reply, with(&SessionDelegate::drain));
    QObject::connect(reply, &QNetworkReply::finished, reply, with(&SessionDelegate::handleFinished));
}

// A request still waiting for its connection on a network being replaced waits for an attempt
// the host has not accepted, and would keep that network, with the attempts withdrawn on it, for
// as long as it waits. It goes again on the host's new network, keeping its place and its clock.
void SessionDelegate::resendOffReplacedNetwork(const std::shared_ptr<SessionDataTask>& task, QNetworkReply* replaced)
{
    Transfer* state = transfer(task->identifier());
    if (!state || state->reply != replaced || replaced->property(kTakenUp).toBool() || replaced->isFinished())
        return;
    stopReply(replaced, nullptr, {});
    state->reply = nullptr;
    // Its entry in the timeline is the new request's: nothing of the first reached the host.
    const qint64 started = state->raw.taskStartNs;
    state->raw.requests.removeLast();
    const QNetworkRequest given = state->given;
    dispatch(task, given);
    state->raw.taskStartNs = started;
}

// The transfer's clock starts when its first request goes out and goes on with each later one.
void SessionDelegate::startClock(const std::shared_ptr<SessionDataTask>& task, Transfer& state)
{
    if (state.timeoutMs <= 0)
        return;
    if (!state.clock) {
        state.clock.reset(new QTimer);
        state.clock->setSingleShot(true);
        state.clock->setTimerType(Qt::PreciseTimer);
        state.clockLeftMs = state.timeoutMs;
        QObject::connect(state.clock.get(), &QTimer::timeout,
                         [weak = weak_from_this(), weakTask = std::weak_ptr(task), timeout = state.timeoutMs] {
                             std::shared_ptr<SessionDelegate> self = weak.lock();
                             std::shared_ptr<SessionDataTask> target = weakTask.lock();
                             if (self && target)
                                 self->timeOut(target, QStringLiteral("it took longer than the %1 ms allowed").arg(timeout));
                         });
    }
    if (!state.clock->isActive())
        state.clock->start(std::max(0, state.clockLeftMs));
}

void SessionDelegate::abort(quint64 identifier)
{
    const auto found = transfers_.find(identifier);
    if (found == transfers_.end())
        return;
    // Stopped whether or not its answer has begun: its callers were told already, and nothing of
    // it reaches them. The record goes with it, giving its manager back.
    stopReply(found->second.reply, std::move(found->second.place), found->second.manager);
    transfers_.erase(found);
}

void SessionDelegate::handleResponse(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state || state->responseChecked || state->readingRedirection || !state->reply)
        return;
    QNetworkReply& reply = *state->reply;
    NetworkMetrics::RequestTimes& times = state->raw.requests.last();
    if (!times.responseStartNs)
        times.responseStartNs = nowNs();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        times.statusCode = status.toInt();
    const QList<QNetworkCookie> set = reply.header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    if (!set.isEmpty())
        cookies_->setCookiesFromUrl(set, reply.url());
    if (const QUrl target = redirectTarget(reply); !target.isEmpty())
        return handleRedirect(task, target);
    judge(task, responseOf(reply));
}

void SessionDelegate::judge(const std::shared_ptr<SessionDataTask>& task, const URLResponse& response)
{
    Transfer* state = transfer(task->identifier());
    state->responseChecked = true;
    task->setResponse(response);
    if (!response.isHTTP()) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::invalidURLResponse(response.description())));
        return abort(task->identifier());
    }
    if (response.expectedContentLength > kMaximumDataLength) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("the response announces %1 bytes, more than the %2 accepted")
                                 .arg(response.expectedContentLength).arg(kMaximumDataLength))));
        return abort(task->identifier());
    }
    if (onValidStatusCode.call(*response.statusCode) != std::optional<bool>(true)) {
        finishTask(task, SessionDataTask::TaskResult::failure(
                             PictorError::invalidHTTPStatusCode(*response.statusCode, response.description())));
        return abort(task->identifier());
    }
    // Capped: a body announced larger grows as it comes, so a false length claims no memory.
    if (response.expectedContentLength > 0 && state->reply)
        task->reserveData(std::min(response.expectedContentLength, kReservedDataLength));
    state->awaitingDisposition = true;
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    auto apply = [weak, weakTask](std::optional<ResponseDisposition> disposition) {
        if (std::shared_ptr<SessionDelegate> self = weak.lock())
            self->post([weak, weakTask, disposition] {
                if (std::shared_ptr<SessionDelegate> strong = weak.lock())
                    strong->applyDisposition(weakTask, disposition);
            });
    };
    auto running = askDisposition(weak, response, std::move(apply));
    Q_UNUSED(running);
}

void SessionDelegate::applyDisposition(std::weak_ptr<SessionDataTask> weakTask, std::optional<ResponseDisposition> disposition)
{
    std::shared_ptr<SessionDataTask> task = weakTask.lock();
    Transfer* state = task ? transfer(task->identifier()) : nullptr;
    if (!state)
        return;
    state->awaitingDisposition = false;
    if (!disposition) {
        // Nobody to ask: the transfer is stopped and ends as cancelled.
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(QStringLiteral("the response was not answered"))));
        return abort(task->identifier());
    }
    if (*disposition == ResponseDisposition::cancel) {
        finishTask(task, SessionDataTask::TaskResult::failure(
                             PictorError::cancelledByDelegate(task->response().value_or(URLResponse()).description())));
        return abort(task->identifier());
    }
    drain(task);
    if (transfer(task->identifier()) && state->finishedPending)
        handleFinished(task);
}

void SessionDelegate::drain(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state)
        return;
    if (state->readingRedirection)
        return readRedirection(task);
    if (!state->responseChecked || state->awaitingDisposition)
        return;
    // A redirection not followed hands on the body read while it was decided, once.
    const QByteArray chunk = state->reply ? state->reply->readAll() : std::exchange(state->redirectionBody, {});
    if (!chunk.isEmpty())
        accept(task, chunk);
}

bool SessionDelegate::accept(const std::shared_ptr<SessionDataTask>& task, const QByteArray& chunk)
{
    Transfer* state = transfer(task->identifier());
    NetworkMetrics::RequestTimes& times = state->raw.requests.last();
    times.responseBodyBytesReceived += chunk.size();
    if (times.responseBodyBytesReceived > kMaximumDataLength) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("the response is larger than the %1 bytes accepted").arg(kMaximumDataLength))));
        abort(task->identifier());
        return false;
    }
    if (!state->buffered.take(chunk.size())) {
        const TransferBudget& budget = TransferBudget::shared();
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("the downloads in progress already hold %1 bytes: %2 more would pass the %3 bytes allowed for all of them")
                                 .arg(budget.held()).arg(chunk.size()).arg(budget.limit()))));
        abort(task->identifier());
        return false;
    }
    task->appendData(chunk);
    for (const SessionDataTask::TaskCallback& callback : task->callbacks()) {
        if (!callback.options.onDataReceived)
            continue;
        for (const std::shared_ptr<DataReceivingSideEffect>& effect : *callback.options.onDataReceived)
            effect->dataReceived(task, chunk);
    }
    return true;
}

void SessionDelegate::readRedirection(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state->reply)
        return;
    const qint64 room = ImageDownloadRedirectHandler::kFinalBodyLimit - state->redirectionBody.size();
    state->redirectionBody += state->reply->read(room);
    // The body is a page, not the image: what passes the bound is never read.
    const bool bounded = state->redirectionBody.size() >= ImageDownloadRedirectHandler::kFinalBodyLimit;
    if (bounded || state->reply->isFinished()) {
        // A page the server cut short, or that failed otherwise, is not handed on.
        if (!bounded)
            state->redirectionFailure = failureOf(*state->reply);
        state->raw.requests.last().responseEndNs = nowNs();
        dropReply(*state);
        if (state->redirectionFinal)
            concludeRedirection(task);
    }
}

void SessionDelegate::dropReply(Transfer& state)
{
    state.readingRedirection = false;
    stopReply(state.reply, nullptr, state.manager);
    state.reply = nullptr;
}

void SessionDelegate::handleRedirect(const std::shared_ptr<SessionDataTask>& task, const QUrl& target)
{
    Transfer* state = transfer(task->identifier());
    QNetworkReply* reply = state->reply;
    state->redirection = responseOf(*reply);
    state->redirectionBody.clear();
    state->redirectionFailure.clear();
    state->redirectionFinal = false;
    // What the last request carried, headers a redirect handler added among them, goes on; the
    // credentials only while the transfer stays with the server they were meant for. The jar's
    // cookies are not among them: those of the next URL join it when it goes, as the
    // redirection left the jar.
    QNetworkRequest next = state->given;
    next.setUrl(target);
    if (!sameOrigin(reply->url(), target)) {
        next.setRawHeader("Authorization", QByteArray());
        next.setRawHeader("Cookie", QByteArray());
    }
    const int hop = ++state->raw.redirectCount;
    // The latest caller that brought a redirect handler decides.
    std::shared_ptr<const ImageDownloadRedirectHandler> handler;
    const QList<SessionDataTask::TaskCallback> callbacks = task->callbacks();
    for (auto callback = callbacks.crbegin(); callback != callbacks.crend() && !handler; ++callback)
        handler = callback->options.redirectHandler;
    if (hop > kMaximumRedirects || !handler) {
        // The headers decided the next hop: the body, however large it says it is, is never read.
        state->raw.requests.last().responseEndNs = nowNs();
        dropReply(*state);
        if (hop > kMaximumRedirects) {
            finishTask(task, SessionDataTask::TaskResult::failure(
                                 PictorError::urlSessionError(QStringLiteral("more than %1 redirections").arg(kMaximumRedirects))));
            return abort(task->identifier());
        }
        return follow(task, next);
    }
    // Its body is read while the handler decides: it is the final answer if none follows. Qt
    // takes no more from the connection than the bound while it waits to be read.
    reply->setReadBufferSize(ImageDownloadRedirectHandler::kFinalBodyLimit);
    state->readingRedirection = true;
    readRedirection(task);
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    auto apply = [weak, weakTask, hop](std::optional<QNetworkRequest> answer) {
        if (std::shared_ptr<SessionDelegate> self = weak.lock())
            self->post([weak, weakTask, hop, answer = std::move(answer)] {
                if (std::shared_ptr<SessionDelegate> strong = weak.lock())
                    strong->applyRedirect(weakTask, hop, answer);
            });
    };
    auto running = askRedirect(handler, task, *state->redirection, next, std::move(apply));
    Q_UNUSED(running);
}

void SessionDelegate::applyRedirect(std::weak_ptr<SessionDataTask> weakTask, int hop, std::optional<QNetworkRequest> answer)
{
    std::shared_ptr<SessionDataTask> task = weakTask.lock();
    Transfer* state = task ? transfer(task->identifier()) : nullptr;
    // The transfer may have been stopped, or have timed out, while the handler decided.
    if (!state || state->raw.redirectCount != hop)
        return;
    if (answer) {
        if (state->reply)
            state->raw.requests.last().responseEndNs = nowNs();
        dropReply(*state);
        return follow(task, std::move(*answer));
    }
    // Not followed: the redirecting answer is the final one, once its body is read.
    state->redirectionFinal = true;
    if (!state->readingRedirection)
        concludeRedirection(task);
}

void SessionDelegate::concludeRedirection(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state->redirectionFailure.isEmpty()) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(state->redirectionFailure)));
        return abort(task->identifier());
    }
    state->finishedPending = true;
    // Its body is what was read, however long the server said it was.
    state->redirection->expectedContentLength = state->redirectionBody.size();
    judge(task, *state->redirection);
}

void SessionDelegate::follow(const std::shared_ptr<SessionDataTask>& task, QNetworkRequest next)
{
    const Transfer* state = transfer(task->identifier());
    // The manager also reads local files and resources: a server must not lead a transfer there.
    if (!isHttp(next.url())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("a redirection to \"%1\", which is not an HTTP URL").arg(next.url().toDisplayString()))));
        return abort(task->identifier());
    }
    if (isHttps(state->redirection->url) && !isHttps(next.url())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("a redirection from HTTPS to \"%1\", which is not encrypted").arg(next.url().toDisplayString()))));
        return abort(task->identifier());
    }
    // Images are only ever fetched with GET, so the method a 303 asks for is the one already used.
    send(task, std::move(next));
}

void SessionDelegate::handleFinished(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state)
        return;
    if (state->readingRedirection)
        return readRedirection(task);
    if (state->awaitingDisposition) {
        state->finishedPending = true;
        return;
    }
    // A redirection whose headers came with its end, unannounced.
    if (!state->responseChecked && state->reply && !isTransportError(*state->reply)) {
        handleResponse(task);
        state = transfer(task->identifier());
        if (!state || state->readingRedirection || !state->responseChecked || state->awaitingDisposition) {
            if (state && state->awaitingDisposition)
                state->finishedPending = true;
            return;
        }
    }
    conclude(task);
}

void SessionDelegate::noteUnanswered(const Transfer& state)
{
    if (state.reply && !state.reply->property(kTakenUp).toBool())
        state.manager->letGoUnanswered(state.reply, SessionManager::kTakeUpGraceMs);
}

void SessionDelegate::timeOut(const std::shared_ptr<SessionDataTask>& task, const QString& why)
{
    const Transfer* state = transfer(task->identifier());
    if (!state)
        return;
    // Its request, if Qt has not taken it up, is let go as every stopped one is.
    finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(QStringLiteral("the transfer timed out: ") + why)));
    abort(task->identifier());
}

void SessionDelegate::conclude(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    QPointer<QNetworkReply> reply = state->reply;
    if (reply)
        drain(task);
    state = transfer(task->identifier());
    if (!state)
        return; // it failed on its last bytes
    if (reply && reply->error() == QNetworkReply::OperationCanceledError)
        noteUnanswered(*state);
    NetworkMetrics::Raw raw = state->raw;
    // Without a reply, the answer is a redirection that was not followed.
    const std::optional<URLResponse> kept = state->redirection;
    transfers_.erase(task->identifier());
    if (reply)
        reply->deleteLater();
    if (!reply && !kept)
        return;

    const URLResponse response = reply ? responseOf(*reply) : *kept;
    raw.taskEndNs = nowNs();
    if (reply)
        raw.requests.last().responseEndNs = raw.taskEndNs;
    task->setMetrics(NetworkMetrics::build(raw));
    QString failure = reply ? failureOf(*reply) : QString();
    if (failure.isEmpty() && response.statusCode && *response.statusCode < 200)
        failure = QStringLiteral("the server gave no final response");
    const bool failed = !failure.isEmpty();
    if (failed)
        onDownloadingFinished.call(task->originalURL(), Result<URLResponse, PictorError>::failure(PictorError::urlSessionError(failure)));
    else
        onDownloadingFinished.call(task->originalURL(), Result<URLResponse, PictorError>::success(response));

    if (failed)
        return finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(failure)));
    if (response.statusCode && onValidStatusCode.call(*response.statusCode) != std::optional<bool>(true))
        return finishTask(task, SessionDataTask::TaskResult::failure(
                                    PictorError::invalidHTTPStatusCode(*response.statusCode, response.description())));
    std::optional<QByteArray> data = onDidDownloadData.call(task);
    if (!data)
        return finishTask(task, SessionDataTask::TaskResult::failure(PictorError::dataModifyingFailed(task->description())));
    finishTask(task, SessionDataTask::TaskResult::success({std::move(*data), response}));
}

void SessionDelegate::handleCallbackCancelled(const std::shared_ptr<SessionDataTask>& task, qint64 token,
                                              SessionDataTask::TaskCallback callback)
{
    task->onTaskDone.call(SessionDataTask::TaskResult::failure(PictorError::taskCancelled(task->description(), token)), {callback});
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        const auto filed = tasks_.constFind(task->originalURL());
        if (filed != tasks_.constEnd() && filed->get() == task.get() && task->callbacks().isEmpty()) {
            tasks_.erase(filed);
            last = true;
        }
    }
    if (last)
        task->abortTransfer();
}

void SessionDelegate::finishTask(const std::shared_ptr<SessionDataTask>& task, SessionDataTask::TaskResult result)
{
    QList<SessionDataTask::TaskCallback> callbacks;
    {
        // Unfiling and taking the callbacks in one step: a caller joining now starts a new transfer.
        std::lock_guard lock(mutex_);
        const auto filed = tasks_.constFind(task->originalURL());
        if (filed == tasks_.constEnd() || filed->get() != task.get())
            return;
        tasks_.erase(filed);
        callbacks = task->takeAllCallbacks();
    }
    task->onTaskDone.call(std::move(result), callbacks);
}

} // namespace pictor
