#include "engine/AerialsFolders.h"

#include "engine/CacheFolder.h"
#include "engine/StagedFile.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"

#include <QDir>
#include <QFileInfo>

namespace {
// A small manifest in the extension's own shape: categories with one subcategory each, and
// assets that name them.
const char kStockManifest[] = R"({
    "assets": [
        {
            "accessibilityLabel": "Waves rolling onto a pebble beach",
            "categories": ["6A1E3F52-0C2D-4B7E-9F41-2D8C5B7A9E10"],
            "id": "0B7D8E2A-5C41-4F39-A6D2-8E1F3C9B7A51",
            "includeInShuffle": true,
            "localizedNameKey": "Pebble Beach",
            "pointsOfInterest": {"0": "PEBBLE_BEACH_0"},
            "preferredOrder": 0,
            "previewImage": "previews/pebble-beach.png",
            "shotID": "PEBBLE_BEACH",
            "showInTopLevel": true,
            "subcategories": ["C5F0A8B1-7E3D-4A62-B9C4-1F6E2D8A3B07"],
            "url-4K-SDR-240FPS": "videos/0B7D8E2A-5C41-4F39-A6D2-8E1F3C9B7A51.mov"
        },
        {
            "accessibilityLabel": "Fog drifting over a pine ridge",
            "categories": ["9E4B2C71-3F8A-4D05-8B6E-7A2C1D9F4E38"],
            "id": "3F9A6C1E-8B27-4D4E-9C05-B1D7E2A8F634",
            "includeInShuffle": true,
            "localizedNameKey": "Pine Ridge",
            "pointsOfInterest": {"0": "PINE_RIDGE_0"},
            "preferredOrder": 0,
            "previewImage": "previews/pine-ridge.png",
            "shotID": "PINE_RIDGE",
            "showInTopLevel": true,
            "subcategories": ["D2A7E9C4-1B6F-4830-A5D9-3C8E7F1B2A64"],
            "url-4K-SDR-240FPS": "videos/3F9A6C1E-8B27-4D4E-9C05-B1D7E2A8F634.mov"
        }
    ],
    "categories": [
        {
            "id": "6A1E3F52-0C2D-4B7E-9F41-2D8C5B7A9E10",
            "localizedDescriptionKey": "Coastlines",
            "localizedNameKey": "Coastlines",
            "preferredOrder": 0,
            "previewImage": "previews/pebble-beach.png",
            "representativeAssetID": "0B7D8E2A-5C41-4F39-A6D2-8E1F3C9B7A51",
            "subcategories": [
                {
                    "id": "C5F0A8B1-7E3D-4A62-B9C4-1F6E2D8A3B07",
                    "localizedDescriptionKey": "Beaches",
                    "localizedNameKey": "Beaches",
                    "preferredOrder": 0,
                    "previewImage": "previews/pebble-beach.png",
                    "representativeAssetID": "0B7D8E2A-5C41-4F39-A6D2-8E1F3C9B7A51"
                }
            ]
        },
        {
            "id": "9E4B2C71-3F8A-4D05-8B6E-7A2C1D9F4E38",
            "localizedDescriptionKey": "Forests",
            "localizedNameKey": "Forests",
            "preferredOrder": 1,
            "previewImage": "previews/pine-ridge.png",
            "representativeAssetID": "3F9A6C1E-8B27-4D4E-9C05-B1D7E2A8F634",
            "subcategories": [
                {
                    "id": "D2A7E9C4-1B6F-4830-A5D9-3C8E7F1B2A64",
                    "localizedDescriptionKey": "Ridges",
                    "localizedNameKey": "Ridges",
                    "preferredOrder": 0,
                    "previewImage": "previews/pine-ridge.png",
                    "representativeAssetID": "3F9A6C1E-8B27-4D4E-9C05-B1D7E2A8F634"
                }
            ]
        }
    ],
    "initialAssetCount": 2,
    "localizationVersion": "1",
    "version": 1
}
)";
} // namespace

AerialsFolders::AerialsFolders(QString root) : root_(std::move(root)) {}

AerialsFolders& AerialsFolders::shared() { return Shared<AerialsFolders>::instance(); }

QString AerialsFolders::root() const
{
    return root_.isEmpty() ? Paths::appSupport() + QStringLiteral("/lockscreen") : root_;
}

QString AerialsFolders::aerialsFolder() const { return root() + QLatin1Char('/') + kAerialsPath; }

QString AerialsFolders::manifestPath() const { return aerialsFolder() + QStringLiteral("/manifest/entries.json"); }

QString AerialsFolders::videosFolder() const { return aerialsFolder() + QStringLiteral("/videos"); }

QString AerialsFolders::thumbnailsFolder() const { return aerialsFolder() + QStringLiteral("/thumbnails"); }

QString AerialsFolders::installedMoviePath() const { return videosFolder() + u'/' + kAssetId + QStringLiteral(".mov"); }

QString AerialsFolders::installedThumbnailPath() const
{
    return thumbnailsFolder() + u'/' + kAssetId + QStringLiteral(".png");
}

QByteArray AerialsFolders::stockManifest() { return QByteArray(kStockManifest); }

void AerialsFolders::seedIfNew() const
{
    if (QDir(aerialsFolder()).exists())
        return;
    const QString manifest = manifestPath();
    if (!Paths::ensureFolder(QFileInfo(manifest).path()))
        return;
    try {
        StagedFile file(manifest);
        file.write(stockManifest());
        file.commit();
    } catch (const std::exception& error) {
        // The steps that read the manifest report its absence themselves.
        logLine(QStringLiteral("⚠️"), QStringLiteral("AerialsFolders"),
            QStringLiteral("Could not seed the stock manifest: ") + describeError(error));
    }
}

void AerialsFolders::removeUnfinishedFiles() const
{
    for (const QString& folder : {QFileInfo(manifestPath()).path(), videosFolder(), thumbnailsFolder()}) {
        for (const QFileInfo& entry : CacheFolder::entries(folder)) {
            if (!CacheFolder::hasExtension(entry, u"part") || !CacheFolder::removeEntry(entry))
                continue;
            logLine(QStringLiteral("🗑️"), QStringLiteral("AerialsFolders"),
                QStringLiteral("Removed an unfinished file: ") + entry.absoluteFilePath());
        }
    }
}
