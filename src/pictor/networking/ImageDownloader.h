#pragma once

#include "pictor/networking/AuthenticationChallengeResponsible.h"
#include "pictor/networking/DownloadTask.h"
#include "pictor/networking/ImageDownloaderDelegate.h"
#include "pictor/retrieval/LivePhotoResourceDownloadingResult.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/networking/SessionDataTask.h"

#include <QCoro/QCoroTask>
#include <QSet>
#include <QSslConfiguration>

#include <memory>
#include <mutex>
#include <stop_token>

namespace pictor {

class SessionDelegate;

// Fetches image data over HTTP for many callers: every caller asking for a URL while its transfer
// runs joins that transfer, each gets its own image (its processor, its callback queue) or
// error, and each can withdraw alone through its DownloadTask. Decisions (status codes, response,
// data, certificates) go to the delegate and challenge responder, or to the downloader's own
// defaults. Transfers run on the thread that created it (the GUI thread); every method may be
// called from any thread. Destroying it completes every waiting caller with taskCancelled.
//
// What downloaders share: downloaders of equal trust (the same session configuration, the same
// trusted hosts, and no challenge responder of their own) share one Qt network manager, so its
// pool of open connections and Qt's limit of six connections a host; a connection opened for one
// may carry the next request of another. A downloader with a responder of its own has a manager
// of its own. A manager goes, with its connections, once no downloader holds its trust and no
// transfer started under it runs. Every downloader of the process shares the bound on the bytes
// that transfers hold (TransferBudget). Nothing else is shared: cookies the servers set are kept
// per downloader, and transfers, their time-outs and their callers are each downloader's own.
class ImageDownloader : public ImageDownloaderDelegate,
                        public AuthenticationChallengeResponsible,
                        public std::enable_shared_from_this<ImageDownloader> {
public:
    using ImageResult = SessionDataTask::ImageResult;
    using Completion = std::function<void(ImageResult)>;
    using ProgressBlock = std::function<void(qint64 received, qint64 expected)>;
    using LivePhotoResult = Result<LivePhotoResourceDownloadingResult, PictorError>;

    // An empty name is a programming error and stops the process.
    static std::shared_ptr<ImageDownloader> create(const QString& name);
    // The shared downloader, named "default".
    static const std::shared_ptr<ImageDownloader>& defaultDownloader();
    ~ImageDownloader() override;

    const QString& name() const { return name_; }
    // Seconds a transfer may take in all, redirections included, before it fails and its request
    // is stopped; 15 at first. Counted from when its first request goes out: a request waiting for
    // one of the host's connections waits on no clock while the host keeps giving connections
    // back, and fails once it has given none back for this time (whatever the time-outs of the
    // requests holding them, other downloaders' among them). Every request of the transfer carries
    // it as Qt's idle time-out too (a shorter one a request modifier or redirect handler set
    // stays). Later transfers only; 0 or less: none; a positive one under a millisecond counts as
    // a millisecond, the shortest Qt counts.
    double downloadTimeout() const;
    void setDownloadTimeout(double seconds);
    // Hosts whose certificate is trusted as presented. Downloaders of different trust (these hosts,
    // the session configuration, a responder of their own) never share a connection. A transfer
    // keeps the trust it started with for every request it sends and every certificate it meets.
    std::optional<QSet<QString>> trustedHosts() const;
    void setTrustedHosts(std::optional<QSet<QString>> hosts);
    // The TLS settings of later transfers (the system's CA list at first).
    QSslConfiguration sessionConfiguration() const;
    void setSessionConfiguration(const QSslConfiguration& configuration);
    bool requestsUsePipelining() const;
    void setRequestsUsePipelining(bool enabled);
    // Whether the network is constrained (metered) now. A request whose options name a low-data
    // source may not use such a network: it fails at once with a constrained-network error, so
    // that the retrieval turns to that source. By default the system's network information
    // answers; where it cannot tell, the network is not constrained.
    using ConstrainedNetworkCheck = std::function<bool()>;
    void setConstrainedNetworkCheck(ConstrainedNetworkCheck check);
    // Held weakly; when unset or gone, the downloader's own defaults answer.
    std::shared_ptr<ImageDownloaderDelegate> delegate() const;
    void setDelegate(std::weak_ptr<ImageDownloaderDelegate> delegate);
    std::shared_ptr<AuthenticationChallengeResponsible> authenticationChallengeResponder() const;
    // The responder a transfer started with answers its certificate challenges. A responder of its
    // own gives the downloader connections of its own, so what it accepts serves nobody else.
    void setAuthenticationChallengeResponder(std::weak_ptr<AuthenticationChallengeResponsible> responder);

    // The completion runs once, on the options' callback queue. The returned handle is linked once
    // the request is ready (at once unless an asynchronous request modifier is waited for).
    std::shared_ptr<DownloadTask> downloadImage(const QUrl& url, const PictorParsedOptionsInfo& options, Completion completion = {});
    // Parses the items; a progress block is told of the bytes received so far.
    std::shared_ptr<DownloadTask> downloadImage(const QUrl& url, const std::optional<QList<PictorOptionsInfoItem>>& items,
                                                ProgressBlock progress, Completion completion = {});
    // The same awaited: returns the result or throws the PictorError; stopping the token
    // withdraws this caller from its transfer. A stop while an asynchronous request modifier is
    // still preparing the request finds no transfer to leave: the download then ends normally.
    QCoro::Task<ImageLoadingResult> downloadImageAsync(QUrl url, PictorParsedOptionsInfo options, std::stop_token stop = {});
    QCoro::Task<ImageLoadingResult> downloadImageAsync(QUrl url, std::optional<QList<PictorOptionsInfoItem>> items,
                                                       ProgressBlock progress, std::stop_token stop = {});

    // A live-photo resource: the bytes are kept as received, never decoded as an image.
    std::shared_ptr<DownloadTask> downloadLivePhotoResource(const QUrl& url, const PictorParsedOptionsInfo& options,
                                                            std::function<void(LivePhotoResult)> completion);
    QCoro::Task<LivePhotoResourceDownloadingResult> downloadLivePhotoResourceAsync(QUrl url, PictorParsedOptionsInfo options,
                                                                                    std::stop_token stop = {});

    // Withdraws every caller of the URL's transfer, or of all transfers.
    void cancel(const QUrl& url);
    void cancelAll();

private:
    struct DownloadingContext {
        QUrl url;
        QNetworkRequest request;
        PictorParsedOptionsInfo options;
    };
    using ContextResult = Result<DownloadingContext, PictorError>;

    explicit ImageDownloader(QString name);
    void setupSessionHandler();
    void createDownloadContext(const QUrl& url, const PictorParsedOptionsInfo& options, std::function<void(ContextResult)> done);
    std::shared_ptr<DownloadTask> startDownloadTask(const DownloadingContext& context, SessionDataTask::TaskCallback callback);
    void bindTaskDone(const std::shared_ptr<SessionDataTask>& task, const DownloadingContext& context);
    ImageDownloaderDelegate& effectiveDelegate(std::shared_ptr<ImageDownloaderDelegate>& holder);
    static void complete(const SessionDataTask::TaskCallback& callback, ImageResult result);

    const QString name_;
    const std::shared_ptr<SessionDelegate> sessionDelegate_;
    mutable std::mutex mutex_;
    double downloadTimeout_ = 15.0;
    bool requestsUsePipelining_ = false;
    ConstrainedNetworkCheck constrainedNetwork_;
    std::weak_ptr<ImageDownloaderDelegate> delegate_;
};

} // namespace pictor
