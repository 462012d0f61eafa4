#include "pictor/retrieval/AVAssetImageDataProvider.h"

#include "pictor/retrieval/Resource.h"
#include "pictor/views/TextForms.h"

#include <QBuffer>
#include <QImageWriter>
#include <QUuid>

namespace pictor {

AVAssetImageDataProvider::AVAssetImageDataProvider(const QUrl& assetURL, double seconds)
    : generator_(AssetImageGenerator::create(assetURL)), seconds_(seconds)
{
    generator_->setAppliesPreferredTrackTransform(true);
}

QString AVAssetImageDataProvider::cacheKey() const
{
    const QUrl& url = generator_->assetURL();
    // A generator without a video address has no stable name: every read is a new key.
    const QString asset = url.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() : urlCacheKey(url);
    return asset + u'_' + TextForms::number(seconds_);
}

void AVAssetImageDataProvider::data(Handler handler) const
{
    generator_->generateImage(seconds_, [handler = std::move(handler)](AssetImageGenerator::Generated generated) {
        using Reason = ImageDataProviderError::Reason;
        switch (generated.outcome) {
        case AssetImageGenerator::Outcome::failed:
            return handler(DataResult::failure({Reason::generatorError, generated.error}));
        case AssetImageGenerator::Outcome::cancelled:
            return handler(DataResult::failure({Reason::userCancelled}));
        case AssetImageGenerator::Outcome::succeeded:
            break;
        }
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        if (generated.image.isNull() || !writer.write(generated.image))
            return handler(DataResult::failure({Reason::invalidImage, generated.image.isNull() ? QStringLiteral("no image") : writer.errorString()}));
        handler(DataResult::success(std::move(jpeg)));
    });
}

QString AVAssetImageDataProvider::description() const
{
    return QStringLiteral("AVAssetImageDataProvider(%1 at %2 s)").arg(generator_->assetURL().toString(), TextForms::number(seconds_));
}

} // namespace pictor
