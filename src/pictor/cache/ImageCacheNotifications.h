#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace pictor {

class ImageCache;

// Announces on the main thread which files a disk clean removed.
class ImageCacheNotifications : public QObject {
    Q_OBJECT
public:
    static ImageCacheNotifications& shared();

    static QString didCleanDiskCacheName() { return QStringLiteral("com.quillmoth.Pictor.PictorDidCleanDiskCache"); }
    // The user-info key of the removed files' names (a QStringList).
    static QString cleanedHashKey() { return QStringLiteral("com.quillmoth.Pictor.cleanedHash"); }

signals:
    // Expired files first, then those removed for size.
    void didCleanDiskCache(pictor::ImageCache* cache, const QVariantMap& userInfo);
};

} // namespace pictor

Q_DECLARE_OPAQUE_POINTER(pictor::ImageCache*)
Q_DECLARE_METATYPE(pictor::ImageCache*)
