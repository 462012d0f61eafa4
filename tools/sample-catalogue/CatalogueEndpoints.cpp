#include "CatalogueEndpoints.h"

#include "CatalogueData.h"
#include "ReplyShapes.h"
#include "Router.h"

#include <QJsonArray>

namespace samplecatalogue {

void CatalogueEndpoints::install(Router& router, const CatalogueData& data, const ReplyShapes& shapes)
{
    router.backend(HttpMethod::Get, QStringLiteral("get-categories"), [&data, &shapes](const CatalogueRequest& request) {
        const QString shape = shapes.shapeFor(request, QStringLiteral("envelope"));
        if (shape == QLatin1String("bare-array"))
            return CatalogueReply::json(QJsonDocument(data.categories()));
        if (shape == QLatin1String("empty"))
            return CatalogueReply::json(QJsonObject{{QStringLiteral("categories"), QJsonArray()}});
        if (shape != QLatin1String("envelope"))
            return CatalogueReply::error(400, QStringLiteral("Unknown reply shape: ") + shape);
        return CatalogueReply::json(QJsonObject{{QStringLiteral("categories"), data.categories()}});
    });
    router.backend(HttpMethod::Get, QStringLiteral("get-home-page"), [&data](const CatalogueRequest&) {
        return CatalogueReply::json(data.homePage());
    });
}

} // namespace samplecatalogue
