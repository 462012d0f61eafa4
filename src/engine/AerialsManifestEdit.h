#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The application's own entries in the lock-screen manifest: one category with one subcategory,
// and one asset that names the installed movie and thumbnail. apply() works on the whole
// manifest in memory and keeps every key it does not own, at any level. GUI thread or any.
class AerialsManifestEdit {
public:
    static inline const QString kCategoryId = QStringLiteral("DA0B4D35-497D-48BC-BCC2-5846B7505386");
    static inline const QString kSubcategoryId = QStringLiteral("E70B756E-6259-4951-8249-D96952D47D30");

    // The manifest with the application's entries put in place of any earlier ones, and
    // "initialAssetCount" set to the number of assets, pretty-printed with sorted keys. The
    // preview image and representative asset are drawn at random from the categories that have a
    // preview image. Throws JsonError when the bytes are not JSON, EntriesJSONError (copyFailed)
    // when they do not have the manifest's shape. Logs each decision.
    static QByteArray apply(const QByteArray& manifest);

    // Throws unless the bytes are a JSON object holding "categories" and "assets" arrays: the
    // least a manifest must be before it may replace the extension's.
    static void checkShape(const QByteArray& manifest);

    static QJsonObject category(const QString& previewImage, const QString& representativeAssetId);
    static QJsonObject asset();
};
