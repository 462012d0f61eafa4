#include "engine/AerialsManifestEdit.h"

#include "engine/AerialsFolders.h"
#include "engine/EntriesJSONError.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

namespace {
using Kind = EntriesJSONError::Kind;

const QString kCategories = QStringLiteral("categories");
const QString kAssets = QStringLiteral("assets");
const QString kId = QStringLiteral("id");
const QString kPreviewImage = QStringLiteral("previewImage");
const QString kRepresentativeAssetId = QStringLiteral("representativeAssetID");
const QString kAppName = QStringLiteral("Quorvelle");
const QString kCustom = QStringLiteral("Custom");

void log(const QString& message) { logLine(QStringLiteral("✅"), QStringLiteral("EntriesJSONService"), message); }

QJsonObject topLevelObject(const QByteArray& manifest)
{
    const QJsonValue value = JsonReader::parse(manifest).value();
    if (!value.isObject())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Invalid JSON structure in entries.json"));
    return value.toObject();
}

// An array whose every element is an object, else nothing.
std::optional<QJsonArray> arrayOfObjects(const QJsonObject& manifest, const QString& key)
{
    const QJsonValue value = manifest.value(key);
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    return array;
}

// The array without the application's own entries from an earlier install.
QJsonArray withoutId(QJsonArray array, const QString& id)
{
    for (qsizetype i = array.size() - 1; i >= 0; --i) {
        if (array.at(i).toObject().value(kId).toString() == id)
            array.removeAt(i);
    }
    return array;
}

void removeEarlierEntries(QJsonObject& manifest)
{
    if (const auto categories = arrayOfObjects(manifest, kCategories))
        manifest.insert(kCategories, withoutId(*categories, AerialsManifestEdit::kCategoryId));
    if (const auto assets = arrayOfObjects(manifest, kAssets))
        manifest.insert(kAssets, withoutId(*assets, AerialsFolders::kAssetId));
}

qsizetype assetCount(const QJsonObject& manifest)
{
    const auto assets = arrayOfObjects(manifest, kAssets);
    return assets ? assets->size() : 0;
}

template <typename T>
const T& pickAtRandom(const QList<T>& candidates)
{
    return candidates.at(qsizetype(QRandomGenerator::system()->bounded(quint32(candidates.size()))));
}
} // namespace

QByteArray AerialsManifestEdit::apply(const QByteArray& manifest)
{
    QJsonObject object = topLevelObject(manifest);
    removeEarlierEntries(object);

    const qsizetype count = assetCount(object) + 1;
    object.insert(QStringLiteral("initialAssetCount"), count);
    log(QStringLiteral("Updated initialAssetCount to %1 (accessibilityLabel count: %2)").arg(count).arg(count - 1));

    const auto categories = arrayOfObjects(object, kCategories);
    if (!categories)
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("categories array not found in JSON"));
    QList<QJsonObject> withPreview;
    for (const QJsonValue& category : *categories) {
        const QJsonValue preview = category.toObject().value(kPreviewImage);
        if (preview.isString() && !preview.toString().isEmpty())
            withPreview.append(category.toObject());
    }
    if (withPreview.isEmpty())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("No previewImages found in categories"));
    // Two independent draws: the preview and the representative may come from different categories.
    const QString previewImage = pickAtRandom(withPreview).value(kPreviewImage).toString();
    const QJsonValue representative = pickAtRandom(withPreview).value(kRepresentativeAssetId);
    if (!representative.isString())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("representativeAssetID not found in random category"));
    log(QStringLiteral("Selected random previewImage: ") + previewImage + QStringLiteral(", representativeAssetID: ")
        + representative.toString());

    QJsonArray editedCategories = *categories;
    editedCategories.append(category(previewImage, representative.toString()));
    object.insert(kCategories, editedCategories);

    const auto assets = arrayOfObjects(object, kAssets);
    if (!assets)
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("assets array not found in JSON"));
    QJsonArray editedAssets = *assets;
    editedAssets.append(asset());
    object.insert(kAssets, editedAssets);

    // QJsonObject keeps its keys sorted, so the indented text is sorted too.
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void AerialsManifestEdit::checkShape(const QByteArray& manifest)
{
    const QJsonObject object = topLevelObject(manifest);
    if (!object.value(kCategories).isArray() || !object.value(kAssets).isArray())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Invalid JSON structure in entries.json"));
}

QJsonObject AerialsManifestEdit::category(const QString& previewImage, const QString& representativeAssetId)
{
    QJsonObject subcategory{
        {kId, kSubcategoryId},
        {QStringLiteral("localizedDescriptionKey"), kAppName},
        {QStringLiteral("localizedNameKey"), kAppName},
        {QStringLiteral("preferredOrder"), 0},
        {kPreviewImage, previewImage},
        {kRepresentativeAssetId, representativeAssetId},
    };
    QJsonObject result = subcategory;
    result.insert(kId, kCategoryId);
    result.insert(QStringLiteral("subcategories"), QJsonArray{subcategory});
    return result;
}

QJsonObject AerialsManifestEdit::asset()
{
    return QJsonObject{
        {QStringLiteral("accessibilityLabel"), kCustom},
        {kCategories, QJsonArray{kCategoryId}},
        {kId, AerialsFolders::kAssetId},
        {QStringLiteral("includeInShuffle"), true},
        {QStringLiteral("localizedNameKey"), kCustom},
        {QStringLiteral("pointsOfInterest"), QJsonObject{{QStringLiteral("0"), QStringLiteral("QUORVELLE_1_0")}}},
        {QStringLiteral("preferredOrder"), 0},
        {kPreviewImage, QString(QStringLiteral("thumbnails/") + AerialsFolders::kAssetId + QStringLiteral(".png"))},
        {QStringLiteral("shotID"), QStringLiteral("QUORVELLE_1")},
        {QStringLiteral("showInTopLevel"), true},
        {QStringLiteral("subcategories"), QJsonArray{kSubcategoryId}},
        {QStringLiteral("url-4K-SDR-240FPS"), QString(QStringLiteral("videos/") + AerialsFolders::kAssetId + QStringLiteral(".mov"))},
    };
}
