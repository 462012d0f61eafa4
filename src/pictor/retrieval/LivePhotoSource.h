#pragma once

#include "pictor/retrieval/LivePhotoResource.h"

#include <QList>

namespace pictor {

// The files of a live photo, in the caller's order (usually its still image and its movie).
struct LivePhotoSource {
    LivePhotoSource() = default;
    explicit LivePhotoSource(QList<LivePhotoResource> list) : resources(std::move(list)) {}
    // One resource per URL or resource, its type from its URL.
    static LivePhotoSource fromURLs(const QList<QUrl>& urls);
    static LivePhotoSource fromResources(const QList<std::shared_ptr<const Resource>>& resources);

    QList<LivePhotoResource> resources;
};

} // namespace pictor
