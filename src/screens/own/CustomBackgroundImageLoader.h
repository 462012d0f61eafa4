#pragma once

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>
#include <stop_token>

class Http;
class WallpaperImageCache;

// The decorative picture behind the own-wallpapers screen: follows the address it is handed,
// answers from the image cache when it can, otherwise downloads it (any reply outside 200-299
// is a failure) and keeps it in the cache. Only the download for the latest address may set
// the picture; a failed one is tried again when its address is handed over again. The cached file
// and the download are decoded on a worker: a page-sized picture would stall the window. Owned by
// the screen; GUI thread.
class CustomBackgroundImageLoader : public QObject {
    Q_OBJECT
    Q_PROPERTY(QImage image READ image NOTIFY imageChanged)

public:
    CustomBackgroundImageLoader(Http& http, WallpaperImageCache& cache, QObject* parent = nullptr);
    ~CustomBackgroundImageLoader() override;

    // A null image while there is none.
    const QImage& image() const { return image_; }
    bool isLoading() const { return bool(stop_); }

    // Makes the picture follow `url`; none clears it and stops a download.
    void load(const std::optional<QUrl>& url);

    // The page's picture on the asset host: "https://" + host + "/custom_page_bg.webp".
    static std::optional<QUrl> backgroundURL(const std::optional<QString>& host);

Q_SIGNALS:
    void imageChanged();

private:
    void startLoading();
    void cancel();
    void setImage(const QImage& image);
    QCoro::Task<> download(QUrl url, std::stop_token stop);

    Http& http_;
    // The cache may go before a download ends.
    const QPointer<WallpaperImageCache> cache_;
    QImage image_;
    std::optional<QUrl> url_;
    bool failed_ = false;
    std::optional<std::stop_source> stop_;
};
