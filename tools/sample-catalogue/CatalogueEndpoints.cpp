#include "CatalogueEndpoints.h"

#include "CatalogueData.h"
#include "Router.h"

namespace samplecatalogue {

void CatalogueEndpoints::install(Router& router, const CatalogueData& data)
{
    router.backend(HttpMethod::Get, QStringLiteral("get-categories"), [&data](const CatalogueRequest&) {
        return CatalogueReply::json(QJsonObject{{QStringLiteral("categories"), data.categories()}});
    });
    router.backend(HttpMethod::Get, QStringLiteral("get-home-page"), [&data](const CatalogueRequest&) {
        return CatalogueReply::json(data.homePage());
    });
}

} // namespace samplecatalogue
