#pragma once

#include <QImage>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace pictor {

// Makes still images of a video with the FFmpeg libraries: the frame shown at a given time,
// turned upright by the video track's rotation when asked. Generation runs on the shared thread
// pool; cancelAllImageGeneration() ends the running ones with the cancelled outcome.
class AssetImageGenerator : public std::enable_shared_from_this<AssetImageGenerator> {
public:
    enum class Outcome { succeeded, failed, cancelled };
    struct Generated {
        Outcome outcome = Outcome::failed;
        QImage image;
        QString error;
    };
    using Handler = std::function<void(Generated)>;

    static std::shared_ptr<AssetImageGenerator> create(QUrl assetURL);

    const QUrl& assetURL() const { return assetURL_; }
    bool appliesPreferredTrackTransform() const { return appliesTransform_; }
    void setAppliesPreferredTrackTransform(bool applies) { appliesTransform_ = applies; }

    // Calls the handler once, on a pool thread.
    void generateImage(double seconds, Handler handler) const;
    // The same on the calling thread.
    Generated copyImage(double seconds, std::stop_token stop = {}) const;
    void cancelAllImageGeneration();

private:
    explicit AssetImageGenerator(QUrl assetURL) : assetURL_(std::move(assetURL)) {}
    std::stop_token currentToken() const;

    const QUrl assetURL_;
    std::atomic_bool appliesTransform_ = false;
    mutable std::mutex mutex_;
    std::stop_source stopSource_;
};

} // namespace pictor
