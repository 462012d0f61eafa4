#include "WallpaperListReply.h"

#include <QJsonObject>

namespace samplecatalogue {

CatalogueReply WallpaperListReply::make(const QJsonArray& items, const QString& shape)
{
    const auto object = [](const QString& key, const QJsonValue& value) {
        return CatalogueReply::json(QJsonObject{{key, value}});
    };
    if (shape == QLatin1String("envelope"))
        return object(QStringLiteral("wallpapers"), items);
    if (shape == QLatin1String("bare-array"))
        return CatalogueReply::json(QJsonDocument(items));
    if (shape == QLatin1String("data") || shape == QLatin1String("results"))
        return object(shape, items);
    if (shape == QLatin1String("null-wallpapers-data"))
        return CatalogueReply::json(QJsonObject{{QStringLiteral("wallpapers"), QJsonValue::Null}, {QStringLiteral("data"), items}});
    if (shape == QLatin1String("empty-object"))
        return CatalogueReply::json(QJsonObject());
    if (shape == QLatin1String("keyless-item")) {
        QJsonObject keyless = items.isEmpty() ? QJsonObject() : items.first().toObject();
        keyless.remove(QStringLiteral("key"));
        QJsonArray broken = items;
        broken.append(keyless);
        return object(QStringLiteral("wallpapers"), broken);
    }
    if (shape == QLatin1String("text"))
        return {200, "application/json", QByteArrayLiteral("\"no wallpapers here\""), {}};
    return CatalogueReply::error(400, QStringLiteral("Unknown reply shape: ") + shape);
}

} // namespace samplecatalogue
