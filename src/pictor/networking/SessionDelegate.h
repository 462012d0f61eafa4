#pragma once

#include "pictor/networking/AuthenticationChallenge.h"
#include "pictor/core/Delegate.h"
#include "pictor/networking/DownloadTask.h"
#include "pictor/networking/ImageDownloaderDelegate.h"
#include "pictor/networking/NetworkMetrics.h"
#include "pictor/networking/SessionDataTask.h"
#include "pictor/networking/SessionManager.h"
#include "pictor/networking/TransferBudget.h"
#include "pictor/networking/TrustConfiguration.h"

#include <QHash>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>

#include <map>
#include <memory>
#include <mutex>

class QNetworkCookieJar;
class QNetworkReply;
class QTimer;

namespace pictor {

// Runs the transfers of one downloader on the network manager of the trust each started with and
// files them by URL, so that a caller asking for a URL already being fetched joins it. Turns the
// transfer's events (response, data, redirection, certificate trouble, end) into calls on the task
// and on hooks the downloader binds; it decides nothing about images. It follows each redirection
// itself, with a request of its own, up to kMaximumRedirects. Each transfer is bounded as a whole
// by its first request's transfer time-out, counted from when that request goes out (not while it
// waits for one of the host's connections, as long as the host keeps giving connections back; a
// wait in which it gives none back for that time fails too); every request it sends carries that
// time-out as Qt's idle time-out too. A failed transfer's request is stopped at once. Cookies the servers set are
// kept in a jar of this delegate's own. Transfers run on the GUI thread, wherever this was made;
// the filing and setting methods may be called from any thread.
class SessionDelegate : public std::enable_shared_from_this<SessionDelegate> {
public:
    // Larger bodies would only exhaust memory: they fail before they are buffered.
    static constexpr qint64 kMaximumDataLength = qint64(512) << 20;
    static constexpr int kMaximumRedirects = 16;
    // The most memory taken ahead for a body on the strength of its Content-Length.
    static constexpr qint64 kReservedDataLength = qint64(32) << 20;

    static std::shared_ptr<SessionDelegate> create();
    ~SessionDelegate();

    // Joins the transfer filed under the URL, or files and returns a new one (not started) with
    // the caller under token 0; one step under the lock, so two callers never both create one.
    std::shared_ptr<DownloadTask> addOrJoin(const QNetworkRequest& request, const QUrl& url,
                                            SessionDataTask::TaskCallback callback, bool* created);
    std::shared_ptr<SessionDataTask> task(const QUrl& url) const;
    void cancel(const QUrl& url);
    void cancelAll();
    // A caller taken out of a transfer that will never end for it.
    struct Abandoned {
        std::shared_ptr<SessionDataTask> task;
        qint64 token;
        SessionDataTask::TaskCallback callback;
    };
    // Unfiles every transfer and hands back their waiting callers, stopping the transfers.
    QList<Abandoned> invalidate();

    // The trust of transfers started later; a running one keeps the trust it started with, for
    // every request it sends and every certificate challenge it meets.
    TrustConfiguration trust() const;
    void setSslConfiguration(const QSslConfiguration& configuration);
    void setTrustedHosts(std::optional<QSet<QString>> hosts);
    void setResponder(std::weak_ptr<AuthenticationChallengeResponsible> responder, quint64 key);

    Delegate<bool(qint64)> onValidStatusCode;
    Delegate<ResponseDisposition(URLResponse)> onResponseReceived;
    Delegate<void(QUrl, Result<URLResponse, PictorError>)> onDownloadingFinished;
    Delegate<std::optional<QByteArray>(std::shared_ptr<SessionDataTask>)> onDidDownloadData;
    Delegate<AuthChallengeDisposition(AuthenticationChallenge)> onReceiveSessionChallenge;

private:
    // Timers of a transfer go on the thread that runs it, wherever the transfer is let go.
    struct LaterDelete {
        void operator()(QObject* object) const;
    };
    struct Transfer {
        // Taken when the transfer starts, for every request it sends, with its manager.
        TrustConfiguration trust;
        std::shared_ptr<SessionManager> manager;
        // The transfer's time-out, from its first request; 0: none.
        int timeoutMs = 0;
        // Runs out the time-out while a request of the transfer is out: it stands while a
        // redirection's next hop waits for a place among its host's connections.
        std::unique_ptr<QTimer, LaterDelete> clock;
        int clockLeftMs = 0;
        // The place among the host's connections (or the wait for one) of the current request;
        // a redirection's next hop to the same host keeps it.
        SessionManager::Ticket place;
        // None while waiting for a place, and once a redirection's answer is no longer read.
        QPointer<QNetworkReply> reply;
        // The current request as given, without the jar's cookies: a redirection's next hop is
        // made from it, and gets the jar's cookies of its own URL when it goes.
        QNetworkRequest given;
        // The redirection last met: the answer taken as final when it is not followed.
        std::optional<URLResponse> redirection;
        // Its body, read while a redirect handler decides, up to the handler's bound.
        QByteArray redirectionBody;
        bool readingRedirection = false;
        // Why the redirection's body could not be read whole; such a page is no answer.
        QString redirectionFailure;
        // The handler answered nothing: the redirection ends the transfer once its body is read.
        bool redirectionFinal = false;
        NetworkMetrics::Raw raw;
        // The body's bytes counted against the process-wide budget until the transfer goes.
        TransferBudget::Share buffered;
        bool responseChecked = false;
        bool awaitingDisposition = false;
        bool finishedPending = false;
    };

    SessionDelegate();
    void resume(const std::shared_ptr<SessionDataTask>& task, const TrustConfiguration& trust);
    std::shared_ptr<SessionManager> managerFor(const TrustConfiguration& trust);
    // Sends one request of the transfer once its host has a free connection; each redirection
    // followed sends another.
    void send(const std::shared_ptr<SessionDataTask>& task, QNetworkRequest request);
    void dispatch(const std::shared_ptr<SessionDataTask>& task, const QNetworkRequest& request);
    void resendOffReplacedNetwork(const std::shared_ptr<SessionDataTask>& task, QNetworkReply* replaced);
    void abort(quint64 identifier);
    void handleResponse(const std::shared_ptr<SessionDataTask>& task);
    // Validates the final answer and asks whether to go on with it.
    void judge(const std::shared_ptr<SessionDataTask>& task, const URLResponse& response);
    void applyDisposition(std::weak_ptr<SessionDataTask> weakTask, std::optional<ResponseDisposition> disposition);
    void drain(const std::shared_ptr<SessionDataTask>& task);
    // Takes one chunk of the final answer's body; false when the transfer failed on it.
    bool accept(const std::shared_ptr<SessionDataTask>& task, const QByteArray& chunk);
    void readRedirection(const std::shared_ptr<SessionDataTask>& task);
    void handleRedirect(const std::shared_ptr<SessionDataTask>& task, const QUrl& target);
    void applyRedirect(std::weak_ptr<SessionDataTask> weakTask, int hop, std::optional<QNetworkRequest> answer);
    // Stops reading the current reply (a redirection's), giving its connection back; the
    // transfer keeps its place for its next request.
    void dropReply(Transfer& state);
    void startClock(const std::shared_ptr<SessionDataTask>& task, Transfer& state);
    void concludeRedirection(const std::shared_ptr<SessionDataTask>& task);
    void follow(const std::shared_ptr<SessionDataTask>& task, QNetworkRequest next);
    void handleFinished(const std::shared_ptr<SessionDataTask>& task);
    // Fails the transfer as timed out, saying why.
    void timeOut(const std::shared_ptr<SessionDataTask>& task, const QString& why);
    // A request Qt timed out itself before it was taken up may have met a host that never answers.
    static void noteUnanswered(const Transfer& state);
    // Ends the transfer with its current reply, or else the redirection not followed, as the final answer.
    void conclude(const std::shared_ptr<SessionDataTask>& task);
    void handleCallbackCancelled(const std::shared_ptr<SessionDataTask>& task, qint64 token, SessionDataTask::TaskCallback callback);
    void finishTask(const std::shared_ptr<SessionDataTask>& task, SessionDataTask::TaskResult result);
    Transfer* transfer(quint64 identifier);
    void post(std::function<void()> job);

    mutable std::mutex mutex_;
    QHash<QUrl, std::shared_ptr<SessionDataTask>> tasks_;
    TrustConfiguration trust_;
    // The manager of trust_, held while this delegate keeps that trust, so that its open
    // connections serve the next transfer; made on the first transfer.
    std::shared_ptr<SessionManager> manager_;
    // Touched only on the thread of the network managers (SessionManagers::home()).
    std::unique_ptr<QNetworkCookieJar> cookies_;
    std::map<quint64, Transfer> transfers_;
};

} // namespace pictor
