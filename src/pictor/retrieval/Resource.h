#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace pictor {

class Source;

// A network location of an image and the key it is cached under.
class Resource {
public:
    virtual ~Resource() = default;
    virtual QString cacheKey() const = 0;
    virtual QUrl downloadURL() const = 0;

    // A file URL becomes a local-file provider source, anything else a network source holding
    // only the key and the URL (the resource object itself is not kept).
    Source convertToSource(const std::optional<QString>& overrideCacheKey = std::nullopt) const;
};

// The key of a file that survives moving the application: "pictor.local.cacheKey/" and the path
// from the innermost ".app" or ".appex" folder down (the whole path without one), plus the query.
QString localFileCacheKey(const QUrl& fileURL);
// The key a URL has as a resource: the local-file key for a file URL, else its full text.
QString urlCacheKey(const QUrl& url);

} // namespace pictor
