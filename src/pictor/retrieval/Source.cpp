#include "pictor/retrieval/Source.h"

#include <QHashFunctions>

namespace pictor {

Source Source::network(std::shared_ptr<const Resource> resource) { return Source(Kind::network, std::move(resource), nullptr); }

Source Source::provider(std::shared_ptr<const ImageDataProvider> provider)
{
    return Source(Kind::provider, nullptr, std::move(provider));
}

QString Source::cacheKey() const { return isNetwork() ? resource_->cacheKey() : provider_->cacheKey(); }

std::optional<QUrl> Source::url() const
{
    if (isNetwork())
        return resource_->downloadURL();
    return provider_->contentURL();
}

QString Source::description() const
{
    if (isNetwork())
        return QStringLiteral("network(%1, key: %2)").arg(resource_->downloadURL().toString(), cacheKey());
    return QStringLiteral("provider(%1, key: %2)").arg(provider_->description(), cacheKey());
}

bool Source::operator==(const Source& other) const
{
    // Keys first: they are what the cache tells images apart by.
    return kind_ == other.kind_ && cacheKey() == other.cacheKey() && url() == other.url();
}

size_t qHash(const Source& source, size_t seed)
{
    const std::optional<QUrl> url = source.url();
    if (source.isNetwork())
        return qHashMulti(seed, source.cacheKey(), *url);
    return url ? qHashMulti(seed, source.cacheKey(), true, *url) : qHashMulti(seed, source.cacheKey(), false);
}

} // namespace pictor
