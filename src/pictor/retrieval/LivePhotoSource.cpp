#include "pictor/retrieval/LivePhotoSource.h"

#include "pictor/retrieval/ImageResource.h"

namespace pictor {

LivePhotoSource LivePhotoSource::fromURLs(const QList<QUrl>& urls)
{
    QList<std::shared_ptr<const Resource>> resources;
    for (const QUrl& url : urls)
        resources.append(std::make_shared<ImageResource>(url));
    return fromResources(resources);
}

LivePhotoSource LivePhotoSource::fromResources(const QList<std::shared_ptr<const Resource>>& resources)
{
    LivePhotoSource source;
    for (const std::shared_ptr<const Resource>& resource : resources)
        source.resources.append(LivePhotoResource(resource));
    return source;
}

} // namespace pictor
