#include "pictor/retrieval/Resource.h"

#include "pictor/core/DispatchQueue.h"
#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/LocalFileImageDataProvider.h"
#include "pictor/retrieval/Source.h"

#include <QStringList>

namespace pictor {

Source Resource::convertToSource(const std::optional<QString>& overrideCacheKey) const
{
    const QString key = overrideCacheKey ? *overrideCacheKey : cacheKey();
    const QUrl url = downloadURL();
    if (url.isLocalFile())
        return Source::provider(std::make_shared<LocalFileImageDataProvider>(url, key));
    return Source::network(std::make_shared<ImageResource>(url, key));
}

QString localFileCacheKey(const QUrl& fileURL)
{
    // Components as a path splits: an absolute path starts with the component "/".
    const QString path = fileURL.path();
    QStringList components;
    if (path.startsWith(u'/'))
        components << QStringLiteral("/");
    components << path.split(u'/', Qt::SkipEmptyParts);
    // Walk up to the nearest bundle folder, so the key does not change when the bundle moves.
    qsizetype first = 0;
    for (qsizetype i = components.size() - 1; i >= 0; --i) {
        if (components[i].endsWith(QLatin1String(".app")) || components[i].endsWith(QLatin1String(".appex"))) {
            first = i;
            break;
        }
    }
    QString key = QStringLiteral("pictor.local.cacheKey/") + components.mid(first).join(u'/');
    if (fileURL.hasQuery())
        key += u'?' + fileURL.query(QUrl::FullyEncoded);
    return key;
}

QString urlCacheKey(const QUrl& url) { return url.isLocalFile() ? localFileCacheKey(url) : url.toString(QUrl::FullyEncoded); }

} // namespace pictor
