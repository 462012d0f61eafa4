#pragma once

#include "pictor/retrieval/AnyImageModifier.h"
#include "pictor/networking/AnyModifier.h"
#include "pictor/networking/AnyRedirectHandler.h"
#include "pictor/processing/BlackWhiteProcessor.h"
#include "pictor/processing/BlurImageProcessor.h"
#include "pictor/processing/CroppingImageProcessor.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/retrieval/DelayRetryStrategy.h"
#include "pictor/core/Delegate.h"
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/cache/FormatIndicatedCacheSerializer.h"
#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/OverlayImageProcessor.h"
#include "pictor/views/PTDelegateObserver.h"
#include "pictor/views/PTRedirectPayload.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/processing/ResizingImageProcessor.h"
#include "pictor/retrieval/RetrieveImageResult.h"
#include "pictor/processing/RoundCornerImageProcessor.h"
#include "pictor/retrieval/Source.h"
#include "pictor/processing/TintImageProcessor.h"

namespace pictor {

// The chain of option setters shared by the builder and the declarative views: each call changes
// one thing in the options of the loads started after it (one read and one write of the whole
// options) or registers one callback, and returns the receiver. Boolean setters store the value
// given, so they can clear a flag too. Derived provides options(), setOptions() and the three
// delegates.
template <typename Derived>
class PTOptionSetter {
public:
    using FailureDelegate = Delegate<void(PictorError)>;
    using SuccessDelegate = Delegate<void(RetrieveImageResult)>;
    using ProgressDelegate = Delegate<void(qint64, qint64)>;

    Derived& targetCache(std::shared_ptr<ImageCache> cache) { return set(&PictorParsedOptionsInfo::targetCache, std::move(cache)); }
    Derived& originalCache(std::shared_ptr<ImageCache> cache) { return set(&PictorParsedOptionsInfo::originalCache, std::move(cache)); }
    Derived& downloader(std::shared_ptr<ImageDownloader> downloader) { return set(&PictorParsedOptionsInfo::downloader, std::move(downloader)); }
    Derived& downloadPriority(float priority) { return set(&PictorParsedOptionsInfo::downloadPriority, priority); }
    Derived& forceRefresh(bool on = true) { return set(&PictorParsedOptionsInfo::forceRefresh, on); }
    Derived& fromMemoryCacheOrRefresh(bool on = true) { return set(&PictorParsedOptionsInfo::fromMemoryCacheOrRefresh, on); }
    Derived& forceTransition(bool on = true) { return set(&PictorParsedOptionsInfo::forceTransition, on); }
    Derived& cacheMemoryOnly(bool on = true) { return set(&PictorParsedOptionsInfo::cacheMemoryOnly, on); }
    Derived& waitForCache(bool on = true) { return set(&PictorParsedOptionsInfo::waitForCache, on); }
    Derived& onlyFromCache(bool on = true) { return set(&PictorParsedOptionsInfo::onlyFromCache, on); }
    Derived& backgroundDecode(bool on = true) { return set(&PictorParsedOptionsInfo::backgroundDecode, on); }
    Derived& callbackQueue(CallbackQueue queue) { return set(&PictorParsedOptionsInfo::callbackQueue, std::move(queue)); }
    Derived& scaleFactor(double factor) { return set(&PictorParsedOptionsInfo::scaleFactor, factor); }
    Derived& cacheOriginalImage(bool on = true) { return set(&PictorParsedOptionsInfo::cacheOriginalImage, on); }
    Derived& diskStoreWriteOptions(DataWritingOptions options) { return set(&PictorParsedOptionsInfo::diskStoreWriteOptions, options); }
    Derived& loadDiskFileSynchronously(bool on = true) { return set(&PictorParsedOptionsInfo::loadDiskFileSynchronously, on); }
    Derived& processingQueue(std::optional<CallbackQueue> queue) { return set(&PictorParsedOptionsInfo::processingQueue, std::move(queue)); }
    Derived& alternativeSources(std::optional<QList<Source>> sources)
    {
        std::optional<QList<std::shared_ptr<const Source>>> shared;
        if (sources) {
            shared.emplace();
            for (const Source& source : std::as_const(*sources))
                shared->append(std::make_shared<const Source>(source));
        }
        return set(&PictorParsedOptionsInfo::alternativeSources, std::move(shared));
    }
    Derived& retry(std::shared_ptr<const RetryStrategy> strategy) { return set(&PictorParsedOptionsInfo::retryStrategy, std::move(strategy)); }
    Derived& retry(int maxCount, DelayRetryStrategy::Interval interval)
    {
        return retry(std::make_shared<const DelayRetryStrategy>(maxCount, std::move(interval)));
    }
    Derived& lowDataModeSource(std::optional<Source> source)
    {
        return set(&PictorParsedOptionsInfo::lowDataModeSource, source ? std::make_shared<const Source>(*source) : nullptr);
    }
    // Marks the failure image as set; none makes a failed load clear the image.
    Derived& onFailureImage(std::optional<Image> image)
    {
        return set(&PictorParsedOptionsInfo::onFailureImage, std::optional<std::optional<Image>>(std::move(image)));
    }
    Derived& requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier)
    {
        return set(&PictorParsedOptionsInfo::requestModifier, std::move(modifier));
    }
    // The block changes a copy of the request, which is always sent.
    Derived& requestModifier(std::function<void(QNetworkRequest&)> block)
    {
        return requestModifier(std::make_shared<const AnyModifier>([block = std::move(block)](const QNetworkRequest& request) {
            QNetworkRequest copy = request;
            block(copy);
            return std::optional<QNetworkRequest>(copy);
        }));
    }
    Derived& redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler)
    {
        return set(&PictorParsedOptionsInfo::redirectHandler, std::move(handler));
    }
    // The block must call the payload's completionHandler for the download to go on.
    Derived& redirectHandler(std::function<void(PTRedirectPayload)> block)
    {
        return redirectHandler(std::make_shared<const AnyRedirectHandler>(
            [block = std::move(block)](std::shared_ptr<SessionDataTask> task, const URLResponse& response, const QNetworkRequest& request,
                                       AnyRedirectHandler::Answer answer) { block({std::move(task), response, request, std::move(answer)}); }));
    }
    Derived& progressiveJPEG(std::optional<ImageProgressive> progressive)
    {
        return set(&PictorParsedOptionsInfo::progressiveJPEG,
                   progressive ? std::make_shared<const ImageProgressive>(std::move(*progressive)) : nullptr);
    }
    Derived& serialize(std::shared_ptr<const CacheSerializer> serializer) { return set(&PictorParsedOptionsInfo::cacheSerializer, std::move(serializer)); }
    // Unknown is stored as PNG; JPEG at the quality given, or 1.
    Derived& serialize(ImageFormat format, std::optional<double> jpegCompressionQuality = std::nullopt)
    {
        if (format == ImageFormat::unknown)
            format = ImageFormat::PNG;
        std::optional<double> quality;
        if (format == ImageFormat::JPEG)
            quality = jpegCompressionQuality.value_or(1.0);
        return serialize(std::make_shared<const FormatIndicatedCacheSerializer>(format, quality));
    }
    Derived& imageModifier(std::shared_ptr<const ImageModifier> modifier) { return set(&PictorParsedOptionsInfo::imageModifier, std::move(modifier)); }
    // The block changes a copy of the image, which the caller then gets.
    Derived& imageModifier(std::function<void(Image&)> block)
    {
        return imageModifier(std::make_shared<const AnyImageModifier>([block = std::move(block)](const Image& image) {
            Image copy = image;
            block(copy);
            return std::optional<Image>(copy);
        }));
    }
    Derived& memoryCacheExpiration(std::optional<StorageExpiration> expiration)
    {
        return set(&PictorParsedOptionsInfo::memoryCacheExpiration, std::move(expiration));
    }
    Derived& memoryCacheAccessExtending(ExpirationExtending extending)
    {
        return set(&PictorParsedOptionsInfo::memoryCacheAccessExtendingExpiration, std::move(extending));
    }
    Derived& diskCacheExpiration(std::optional<StorageExpiration> expiration)
    {
        return set(&PictorParsedOptionsInfo::diskCacheExpiration, std::move(expiration));
    }
    Derived& diskCacheAccessExtending(ExpirationExtending extending)
    {
        return set(&PictorParsedOptionsInfo::diskCacheAccessExtendingExpiration, std::move(extending));
    }

    // No processor stands for the default one, as in a parsed item list: every stage calls it.
    Derived& setProcessor(ImageProcessorPtr processor)
    {
        return set(&PictorParsedOptionsInfo::processor, processor ? std::move(processor) : DefaultImageProcessor::shared());
    }
    // No processors: the default one; else each chained after the previous, in order.
    Derived& setProcessors(const QList<ImageProcessorPtr>& processors)
    {
        if (processors.isEmpty())
            return setProcessor(DefaultImageProcessor::shared());
        ImageProcessorPtr chained = processors.first();
        for (qsizetype i = 1; i < processors.size(); ++i)
            chained = append(chained, processors[i]);
        return setProcessor(chained);
    }
    Derived& appendProcessor(ImageProcessorPtr processor) { return setProcessor(append(self().options().processor, std::move(processor))); }
    Derived& roundCorner(Radius radius, std::optional<QSizeF> targetSize = std::nullopt, RectCorners corners = RectCorner::all,
                         std::optional<QColor> backgroundColor = std::nullopt)
    {
        return appendProcessor(std::make_shared<const RoundCornerImageProcessor>(radius, targetSize, corners, backgroundColor));
    }
    Derived& blur(double radius) { return appendProcessor(std::make_shared<const BlurImageProcessor>(radius)); }
    Derived& overlay(QColor color, double fraction = 0.5) { return appendProcessor(std::make_shared<const OverlayImageProcessor>(color, fraction)); }
    Derived& tint(QColor color) { return appendProcessor(std::make_shared<const TintImageProcessor>(color)); }
    Derived& blackWhite() { return appendProcessor(std::make_shared<const BlackWhiteProcessor>()); }
    Derived& cropping(QSizeF size, QPointF anchor = QPointF(0.5, 0.5))
    {
        return appendProcessor(std::make_shared<const CroppingImageProcessor>(size, anchor));
    }
    // Replaces the default processor rather than following it.
    Derived& downsampling(QSizeF size)
    {
        auto processor = std::make_shared<const DownsamplingImageProcessor>(size);
        return self().options().processor->identifier().isEmpty() ? setProcessor(std::move(processor)) : appendProcessor(std::move(processor));
    }
    Derived& resizing(QSizeF referenceSize, ContentMode mode = ContentMode::none)
    {
        return appendProcessor(std::make_shared<const ResizingImageProcessor>(referenceSize, mode));
    }

    // A later registration replaces the earlier block; an empty block still counts as set.
    Derived& onSuccess(std::function<void(const RetrieveImageResult&)> block) { return observe(self().onSuccessDelegate(), std::move(block)); }
    Derived& onFailure(std::function<void(const PictorError&)> block) { return observe(self().onFailureDelegate(), std::move(block)); }
    Derived& onProgress(std::function<void(qint64, qint64)> block)
    {
        self().onProgressDelegate().delegate(PTDelegateObserver::shared(),
                                             std::function<void(PTDelegateObserver&, qint64, qint64)>(
                                                 [block = std::move(block)](PTDelegateObserver&, qint64 received, qint64 expected) {
                                                     if (block)
                                                         block(received, expected);
                                                 }));
        return self();
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }

    template <typename Field, typename Value>
    Derived& set(Field PictorParsedOptionsInfo::*field, Value&& value)
    {
        PictorParsedOptionsInfo options = self().options();
        options.*field = std::forward<Value>(value);
        self().setOptions(std::move(options));
        return self();
    }

    template <typename Input>
    Derived& observe(Delegate<void(Input)>& delegate, std::function<void(const Input&)> block)
    {
        delegate.delegate(PTDelegateObserver::shared(), std::function<void(PTDelegateObserver&, Input)>([block = std::move(block)](PTDelegateObserver&, Input input) {
                              if (block)
                                  block(input);
                          }));
        return self();
    }
};

} // namespace pictor
