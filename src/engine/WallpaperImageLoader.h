#pragma once

#include "state/Delays.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>
#include <stop_token>

class WallpaperImageCache;

// The image behind one remote picture on screen: answered from the shared image cache's memory
// at once, else from its file (decoded on a worker), else fetched with up to ten attempts and a
// doubling pause after each failed one (no answer, or a status outside 2xx), then published and
// cached. One loader per view, on the GUI thread. A running load ends only when a later request
// of the same loader cancels it; it finishes (and fills the cache) even when the loader is gone,
// and then publishes nothing. Neither it nor the loader touch a cache that went away before them.
class WallpaperImageLoader : public QObject {
    Q_OBJECT
    Q_PROPERTY(QImage image READ image NOTIFY imageChanged)

public:
    struct RetryPolicy {
        int attempts = 10;
        int firstPauseMs = 1000;
        int longestPauseMs = 5000;
        // How a pause between attempts is waited; tests note the pauses instead.
        Delays::Sleep sleep = Delays::real().sleep;
    };

    explicit WallpaperImageLoader(QObject* parent = nullptr);
    WallpaperImageLoader(WallpaperImageCache& cache, RetryPolicy policy, QObject* parent = nullptr);
    ~WallpaperImageLoader() override;

    QImage image() const { return image_; }
    QUrl url() const { return url_; }
    // The address `image()` belongs to: differs from url() while a new address loads.
    QUrl imageUrl() const { return imageUrl_; }
    // True when the last load of url() used up its attempts without an image.
    bool hasGivenUp() const { return givenUp_; }

    // Shows the image of `url`; an empty address clears the image and cancels the running load.
    // Asking again for the address already shown does nothing. A new address keeps the previous
    // image on screen until its own is there.
    void setUrl(const QUrl& url);
    // Cancels the running load, then shows the stored address's image from the cache or starts
    // a new load for it.
    void startLoading();
    // Tries once more after a load that gave up; called when its view comes on screen again.
    void retryIfGivenUp();

    // The fetch loop of one load: stops at the first decodable reply, after the last attempt, or
    // when `stop` is requested; a cancelled load never publishes.
    QCoro::Task<> load(QUrl url, std::stop_token stop);

    // For the quit: stops every load still running, loaders gone or not, and turns the event
    // loop until each has ended, for at most `timeoutMs`. A load waiting for a reply, a worker or
    // a pause resumes only there, and once the loop has stopped for good it never would. False
    // when one was still running at the deadline.
    static bool endLoads(int timeoutMs);

Q_SIGNALS:
    void imageChanged();

private:
    void publish(const QImage& image, const QUrl& url);
    void cancelLoad();

    const QPointer<WallpaperImageCache> cache_;
    const RetryPolicy policy_;
    QImage image_;
    QUrl imageUrl_;
    QUrl url_;
    bool givenUp_ = false;
    std::optional<std::stop_source> load_;
};
