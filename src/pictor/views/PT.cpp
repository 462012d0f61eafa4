#include "pictor/views/PT.h"

#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/RawImageDataProvider.h"

namespace pictor {

std::shared_ptr<PTBuilder> PT::source(std::optional<Source> source) { return PTBuilder::create(std::move(source)); }

std::shared_ptr<PTBuilder> PT::resource(std::shared_ptr<const Resource> resource)
{
    return PTBuilder::create(resource ? std::optional(resource->convertToSource()) : std::nullopt);
}

std::shared_ptr<PTBuilder> PT::url(std::optional<QUrl> url, std::optional<QString> cacheKey)
{
    if (!url)
        return PTBuilder::create(std::nullopt);
    return PTBuilder::create(ImageResource(*url).convertToSource(cacheKey));
}

std::shared_ptr<PTBuilder> PT::dataProvider(std::shared_ptr<const ImageDataProvider> provider)
{
    return PTBuilder::create(provider ? std::optional(Source::provider(std::move(provider))) : std::nullopt);
}

std::shared_ptr<PTBuilder> PT::data(std::optional<QByteArray> data, const QString& cacheKey)
{
    if (!data)
        return PTBuilder::create(std::nullopt);
    return PTBuilder::create(Source::provider(std::make_shared<const RawImageDataProvider>(std::move(*data), cacheKey)));
}

} // namespace pictor
