#include "pictor/networking/SessionDelegate.h"

#include "pictor/networking/DataReceivingSideEffect.h"
#include "pictor/networking/ImageDownloadRedirectHandler.h"
#include "pictor/networking/SessionManagers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
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

} // namespace

std::shared_ptr<SessionDelegate> SessionDelegate::create() { return std::shared_ptr<SessionDelegate>(new SessionDelegate()); }

SessionDelegate::SessionDelegate() = default;

SessionDelegate::~SessionDelegate()
{
    // The application object may be destroying the last pending job that held this delegate,
    // under a lock that the manager's own thread needs: what is left open then goes at exit.
    if (QCoreApplication::closingDown())
        return;
    // Every transfer still open ends with its downloader. Its steps hold this object weakly, so
    // its end reaches nobody; the replies must be stopped and freed on the manager's thread.
    QList<QPointer<QNetworkReply>> open;
    for (const auto& [identifier, state] : transfers_)
        open.append(state.reply);
    QMetaObject::invokeMethod(SessionManagers::home(), [open] {
        for (const QPointer<QNetworkReply>& reply : open) {
            if (!reply)
                continue;
            reply->abort();
            reply->deleteLater();
        }
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
            if (std::shared_ptr<SessionDelegate> self = weak.lock())
                self->post([weak, task = started.weak_from_this()] {
                    std::shared_ptr<SessionDelegate> strong = weak.lock();
                    std::shared_ptr<SessionDataTask> target = task.lock();
                    if (strong && target)
                        strong->resume(target);
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

QSslConfiguration SessionDelegate::sslConfiguration() const
{
    std::lock_guard lock(mutex_);
    return trust_.ssl;
}

void SessionDelegate::setSslConfiguration(const QSslConfiguration& configuration)
{
    std::lock_guard lock(mutex_);
    trust_.ssl = configuration;
}

std::optional<QSet<QString>> SessionDelegate::trustedHosts() const
{
    std::lock_guard lock(mutex_);
    return trust_.trustedHosts;
}

void SessionDelegate::setTrustedHosts(std::optional<QSet<QString>> hosts)
{
    std::lock_guard lock(mutex_);
    trust_.trustedHosts = std::move(hosts);
}

SessionDelegate::Transfer* SessionDelegate::transfer(quint64 identifier)
{
    const auto found = transfers_.find(identifier);
    return found == transfers_.end() ? nullptr : &found->second;
}

void SessionDelegate::resume(const std::shared_ptr<SessionDataTask>& task)
{
    if (this->task(task->originalURL()) != task)
        return; // every caller left before it started
    if (!isHttp(task->originalURL())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("unsupported URL scheme \"%1\"").arg(task->originalURL().scheme()))));
        return;
    }
    Transfer& state = transfers_[task->identifier()];
    state.sample.taskStartNs = nowNs();
    {
        std::lock_guard lock(mutex_);
        state.trust = trust_;
    }
    // The whole transfer, every redirection and a body that only trickles included, is bounded.
    if (const int timeout = task->request().transferTimeout(); timeout > 0) {
        QTimer::singleShot(timeout, SessionManagers::home(), [weak = weak_from_this(), weakTask = std::weak_ptr(task), timeout] {
            std::shared_ptr<SessionDelegate> self = weak.lock();
            std::shared_ptr<SessionDataTask> target = weakTask.lock();
            if (self && target)
                self->timeOut(target, timeout);
        });
    }
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
    QNetworkReply* reply = SessionManagers::managerFor(state.trust)->get(request);
    state.reply = reply;
    state.responseChecked = false;
    // Each request is timed on its own; the whole transfer keeps its start.
    state.sample.requestStartNs = nowNs();
    state.sample.responseStartNs.reset();
    // The manager may outlive this object by a turn of the event loop: every step holds it weakly.
    std::weak_ptr<SessionDelegate> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    auto with = [weak, weakTask](void (SessionDelegate::*step)(const std::shared_ptr<SessionDataTask>&)) {
        return [weak, weakTask, step] {
            std::shared_ptr<SessionDelegate> self = weak.lock();
            std::shared_ptr<SessionDataTask> target = weakTask.lock();
            if (self && target)
                ((*self).*step)(target);
        };
    };
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [weak, reply](const QList<QSslError>& errors) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        const AuthenticationChallenge challenge{reply->url().host(), errors};
        if (self && self->onReceiveSessionChallenge.call(challenge) == AuthChallengeDisposition::useCredential)
            reply->ignoreSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [weak, id = task->identifier()](qint64 sent, qint64) {
        std::shared_ptr<SessionDelegate> self = weak.lock();
        if (Transfer* sending = self ? self->transfer(id) : nullptr)
            sending->sample.requestBodyBytesSent = std::max(sending->sample.requestBodyBytesSent, sent);
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, with(&SessionDelegate::handleResponse));
    QObject::connect(reply, &QNetworkReply::readyRead, reply, with(&SessionDelegate::drain));
    QObject::connect(reply, &QNetworkReply::finished, reply, with(&SessionDelegate::handleFinished));
}

void SessionDelegate::abort(quint64 identifier)
{
    Transfer* state = transfer(identifier);
    if (!state)
        return;
    state->ended = true;
    QNetworkReply* reply = state->reply;
    // Between two requests (a redirection being decided) there is nothing left to stop.
    if (!reply)
        return (void)transfers_.erase(identifier);
    // A reply that already ended is kept only while its response is being decided: it will
    // report nothing more, so nothing else would ever free it.
    if (reply->isFinished())
        return forget(identifier);
    // Qt's HTTP connection stalls every other request to the host when a reply is aborted before
    // its response has begun: such a reply is aborted once its response arrives (or it ends on
    // its own). Its callers were told already; nothing of it reaches them.
    if (state->responseChecked)
        return reply->abort();
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] { reply->abort(); }, Qt::QueuedConnection);
    // The transfer's record goes when the reply ends, even once its task is gone.
    QObject::connect(reply, &QNetworkReply::finished, reply, [weak = weak_from_this(), identifier, reply] {
        if (std::shared_ptr<SessionDelegate> self = weak.lock())
            self->transfers_.erase(identifier);
        reply->deleteLater();
    });
}

void SessionDelegate::handleResponse(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state || state->ended || state->responseChecked || !state->reply)
        return;
    QNetworkReply& reply = *state->reply;
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
    if (!state || state->ended)
        return;
    state->awaitingDisposition = false;
    if (!disposition) {
        // Nobody to ask: the transfer is stopped and ends as cancelled.
        if (state->reply)
            return state->reply->abort();
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(QStringLiteral("the response was not answered"))));
        return abort(task->identifier());
    }
    if (*disposition == ResponseDisposition::cancel) {
        finishTask(task, SessionDataTask::TaskResult::failure(
                             PictorError::cancelledByDelegate(task->response().value_or(URLResponse()).description())));
        return abort(task->identifier());
    }
    drain(task);
    if (state->finishedPending)
        handleFinished(task);
}

void SessionDelegate::drain(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state || state->ended || !state->responseChecked || state->awaitingDisposition || !state->reply)
        return;
    const QByteArray chunk = state->reply->readAll();
    if (chunk.isEmpty())
        return;
    if (!state->sample.responseStartNs)
        state->sample.responseStartNs = nowNs();
    state->sample.responseBodyBytesReceived += chunk.size();
    if (state->sample.responseBodyBytesReceived > kMaximumDataLength) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("the response is larger than the %1 bytes accepted").arg(kMaximumDataLength))));
        return abort(task->identifier());
    }
    if (!state->buffered.take(chunk.size())) {
        const TransferBudget& budget = TransferBudget::shared();
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("the downloads in progress already hold %1 bytes: %2 more would pass the %3 bytes allowed for all of them")
                                 .arg(budget.held()).arg(chunk.size()).arg(budget.limit()))));
        return abort(task->identifier());
    }
    task->appendData(chunk);
    for (const SessionDataTask::TaskCallback& callback : task->callbacks()) {
        if (!callback.options.onDataReceived)
            continue;
        for (const std::shared_ptr<DataReceivingSideEffect>& effect : *callback.options.onDataReceived)
            effect->dataReceived(task, chunk);
    }
}

void SessionDelegate::handleRedirect(const std::shared_ptr<SessionDataTask>& task, const QUrl& target)
{
    Transfer* state = transfer(task->identifier());
    QNetworkReply* reply = state->reply;
    state->redirection = responseOf(*reply);
    // What the last request carried, headers a redirect handler added among them, goes on; the
    // credentials only while the transfer stays with the server they were meant for.
    QNetworkRequest next = reply->request();
    next.setUrl(target);
    if (!sameOrigin(reply->url(), target)) {
        next.setRawHeader("Authorization", QByteArray());
        next.setRawHeader("Cookie", QByteArray());
    }
    // The headers decided the next hop: the body, however large it says it is, is never read.
    QObject::disconnect(reply, nullptr, reply, nullptr);
    reply->abort();
    reply->deleteLater();
    state->reply = nullptr;
    const int hop = ++state->sample.redirectCount;
    if (hop > kMaximumRedirects) {
        finishTask(task, SessionDataTask::TaskResult::failure(
                             PictorError::urlSessionError(QStringLiteral("more than %1 redirections").arg(kMaximumRedirects))));
        return forget(task->identifier());
    }
    // The latest caller that brought a redirect handler decides.
    std::shared_ptr<const ImageDownloadRedirectHandler> handler;
    const QList<SessionDataTask::TaskCallback> callbacks = task->callbacks();
    for (auto callback = callbacks.crbegin(); callback != callbacks.crend() && !handler; ++callback)
        handler = callback->options.redirectHandler;
    if (!handler)
        return follow(task, next);
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
    if (!state || state->ended || state->sample.redirectCount != hop)
        return;
    if (answer)
        return follow(task, std::move(*answer));
    // Not followed: the redirecting answer is the final one, judged like any other.
    state->finishedPending = true;
    judge(task, *state->redirection);
}

void SessionDelegate::follow(const std::shared_ptr<SessionDataTask>& task, QNetworkRequest next)
{
    const Transfer* state = transfer(task->identifier());
    // The manager also reads local files and resources: a server must not lead a transfer there.
    if (!isHttp(next.url())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("a redirection to \"%1\", which is not an HTTP URL").arg(next.url().toDisplayString()))));
        return forget(task->identifier());
    }
    if (isHttps(state->redirection->url) && !isHttps(next.url())) {
        finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                             QStringLiteral("a redirection from HTTPS to \"%1\", which is not encrypted").arg(next.url().toDisplayString()))));
        return forget(task->identifier());
    }
    // Images are only ever fetched with GET, so the method a 303 asks for is the one already used.
    send(task, std::move(next));
}

void SessionDelegate::handleFinished(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    if (!state)
        return;
    if (state->awaitingDisposition) {
        state->finishedPending = true;
        return;
    }
    // A redirection whose headers came with its end, unannounced.
    if (!state->ended && !state->responseChecked && state->reply && !isTransportError(*state->reply)) {
        if (const QUrl target = redirectTarget(*state->reply); !target.isEmpty())
            return handleRedirect(task, target);
    }
    conclude(task);
}

void SessionDelegate::timeOut(const std::shared_ptr<SessionDataTask>& task, int milliseconds)
{
    const Transfer* state = transfer(task->identifier());
    if (!state || state->ended)
        return;
    finishTask(task, SessionDataTask::TaskResult::failure(PictorError::urlSessionError(
                         QStringLiteral("the transfer took longer than the %1 ms allowed").arg(milliseconds))));
    abort(task->identifier());
}

void SessionDelegate::conclude(const std::shared_ptr<SessionDataTask>& task)
{
    Transfer* state = transfer(task->identifier());
    QPointer<QNetworkReply> reply = state->reply;
    if (!state->responseChecked && !state->ended && reply && !isTransportError(*reply)) {
        handleResponse(task);
        if (state->awaitingDisposition) {
            state->finishedPending = true;
            return;
        }
    }
    if (!state->ended && reply)
        drain(task);
    const bool ended = state->ended;
    NetworkMetrics::Sample sample = state->sample;
    // Without a reply, the answer is a redirection that was not followed.
    const std::optional<URLResponse> kept = state->redirection;
    transfers_.erase(task->identifier());
    if (reply)
        reply->deleteLater();
    if (ended || (!reply && !kept))
        return;

    const URLResponse response = reply ? responseOf(*reply) : *kept;
    sample.taskEndNs = sample.responseEndNs.emplace(nowNs());
    sample.statusCode = response.statusCode;
    task->setMetrics(NetworkMetrics::build(sample));
    QString failure;
    if (reply && isTransportError(*reply))
        failure = reply->errorString();
    else if (response.statusCode && *response.statusCode < 200)
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

void SessionDelegate::forget(quint64 identifier)
{
    const auto found = transfers_.find(identifier);
    if (found == transfers_.end())
        return;
    if (QNetworkReply* reply = found->second.reply) {
        reply->abort();
        reply->deleteLater();
    }
    transfers_.erase(found);
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
