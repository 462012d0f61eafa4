#pragma once

#include <QByteArray>
#include <QString>

// The lock-screen wallpaper extension's folders. Linux has no such extension, so they live in a
// file-backed stand-in: the same tree and file names ("Library/Application Support/
// com.apple.wallpaper/aerials/" with "manifest/entries.json", "videos", "thumbnails") under a
// root of our own, by default "lockscreen" in the application's Application Support folder.
// The first time the tree is used it is seeded with a stock manifest, so that every step that
// edits, restores or installs has something real to work on. GUI thread; a value-like object.
class AerialsFolders {
public:
    static inline const QString kAerialsPath = QStringLiteral("Library/Application Support/com.apple.wallpaper/aerials");
    // The one lock-screen wallpaper the application installs: the manifest's asset entry and the
    // base name of its movie and thumbnail.
    static inline const QString kAssetId = QStringLiteral("427FE53B-6C61-4659-984C-95DD578BA516");

    // The default root, followed wherever Paths points at the time of each call.
    AerialsFolders() = default;
    explicit AerialsFolders(QString root);

    static AerialsFolders& shared();

    QString root() const;
    QString aerialsFolder() const;
    QString manifestPath() const;
    QString videosFolder() const;
    QString thumbnailsFolder() const;
    // kAssetId + ".mov" in the videos folder, kAssetId + ".png" in the thumbnails folder.
    QString installedMoviePath() const;
    QString installedThumbnailPath() const;

    // Writes the stock manifest when the aerials folder does not exist yet. A folder that exists
    // is left alone even without a manifest: a lost manifest is a fault to report, not to hide.
    void seedIfNew() const;

    // Removes the unfinished files (".part") a crash left beside the manifest, the movie and the
    // thumbnail; run at launch, before anything writes there.
    void removeUnfinishedFiles() const;

    // The manifest the stand-in starts with.
    static QByteArray stockManifest();

private:
    QString root_;
};
