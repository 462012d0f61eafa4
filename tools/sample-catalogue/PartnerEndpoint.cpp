#include "PartnerEndpoint.h"

#include "CatalogueData.h"
#include "ReplyShapes.h"
#include "Router.h"

namespace samplecatalogue {

void PartnerEndpoint::install(Router& router, const CatalogueData& data, const ReplyShapes& shapes, const QString& assetHost)
{
    router.backend(HttpMethod::Get, QStringLiteral("gravel-nook"), [&data, &shapes, assetHost](const CatalogueRequest& request) {
        const auto id = request.queryValue(QStringLiteral("id"));
        if (!id)
            return CatalogueReply::error(400, QStringLiteral("id is required"));
        const auto item = data.partnerWallpaper(*id, assetHost);
        if (!item)
            return CatalogueReply::error(404, QStringLiteral("No such partner wallpaper"));
        const QString shape = shapes.shapeFor(request, QStringLiteral("success"));
        if (shape != QLatin1String("success") && shape != QLatin1String("failure"))
            return CatalogueReply::error(400, QStringLiteral("Unknown reply shape: ") + shape);
        return CatalogueReply::json(
            QJsonObject{{QStringLiteral("success"), shape == QLatin1String("success")}, {QStringLiteral("data"), *item}});
    });
}

} // namespace samplecatalogue
