#pragma once

#include "pictor/retrieval/AssetImageGenerator.h"
#include "pictor/retrieval/ImageDataProvider.h"

namespace pictor {

// The frame of a video at a time, as JPEG bytes. The key is the video's key (the local-file key
// of a file, else its URL), "_" and the time in seconds.
class AVAssetImageDataProvider : public ImageDataProvider {
public:
    AVAssetImageDataProvider(std::shared_ptr<AssetImageGenerator> assetImageGenerator, double seconds)
        : generator_(std::move(assetImageGenerator)), seconds_(seconds) {}
    // A generator for the URL that turns frames upright.
    AVAssetImageDataProvider(const QUrl& assetURL, double seconds);

    const std::shared_ptr<AssetImageGenerator>& assetImageGenerator() const { return generator_; }
    double time() const { return seconds_; }

    QString cacheKey() const override;
    // The handler runs on the generator's thread.
    void data(Handler handler) const override;
    QString description() const override;

private:
    std::shared_ptr<AssetImageGenerator> generator_;
    double seconds_;
};

} // namespace pictor
