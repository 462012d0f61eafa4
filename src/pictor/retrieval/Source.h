#pragma once

#include "pictor/retrieval/ImageDataProvider.h"
#include "pictor/retrieval/Resource.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace pictor {

// Where an image comes from: a network resource or a data provider. Cheap to copy; the resource
// and provider are shared immutable values. Two sources are equal when they are of one kind with
// equal keys and equal URLs (download URLs, or the providers' optional content URLs).
class Source {
public:
    enum class Kind { network, provider };

    static Source network(std::shared_ptr<const Resource> resource);
    static Source provider(std::shared_ptr<const ImageDataProvider> provider);

    Kind kind() const { return kind_; }
    bool isNetwork() const { return kind_ == Kind::network; }
    // Null unless of that kind.
    const std::shared_ptr<const Resource>& resource() const { return resource_; }
    const std::shared_ptr<const ImageDataProvider>& dataProvider() const { return provider_; }

    QString cacheKey() const;
    // The download URL, or the provider's content URL.
    std::optional<QUrl> url() const;
    // For error texts: "network(<url>, key: <key>)" or "provider(<provider>, key: <key>)".
    QString description() const;

    bool operator==(const Source& other) const;

private:
    Source(Kind kind, std::shared_ptr<const Resource> resource, std::shared_ptr<const ImageDataProvider> provider)
        : kind_(kind), resource_(std::move(resource)), provider_(std::move(provider)) {}

    Kind kind_;
    std::shared_ptr<const Resource> resource_;
    std::shared_ptr<const ImageDataProvider> provider_;
};

size_t qHash(const Source& source, size_t seed = 0);

} // namespace pictor

template <>
struct std::hash<pictor::Source> {
    size_t operator()(const pictor::Source& source) const { return pictor::qHash(source); }
};
