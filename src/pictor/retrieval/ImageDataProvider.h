#pragma once

#include "pictor/retrieval/ImageDataProviderError.h"
#include "pictor/core/Result.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace pictor {

class Source;

// Supplies the bytes of an image that is not downloaded (a file, Base64 text, raw bytes, a
// thumbnail, a video frame, a picked item) and names the key its image is cached under.
// Providers only deliver bytes; decoding is the retrieval's processor's work. Each load starts
// afresh; nothing is kept between loads. Made with std::make_shared and shared between threads.
class ImageDataProvider : public std::enable_shared_from_this<ImageDataProvider> {
public:
    using DataResult = Result<QByteArray, ImageDataProviderError>;
    using Handler = std::function<void(DataResult)>;

    virtual ~ImageDataProvider() = default;
    virtual QString cacheKey() const = 0;
    // Calls the handler exactly once, on the thread the provider says.
    virtual void data(Handler handler) const = 0;
    // Only a local file has one.
    virtual std::optional<QUrl> contentURL() const { return std::nullopt; }
    // For error texts.
    virtual QString description() const;

    Source convertToSource() const;
    // The bytes, or the ImageDataProviderError thrown; resumes on the awaiting thread.
    QCoro::Task<QByteArray> dataAsync() const;
};

} // namespace pictor
