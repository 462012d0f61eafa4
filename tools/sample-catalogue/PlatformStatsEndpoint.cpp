#include "PlatformStatsEndpoint.h"

#include "CatalogueData.h"
#include "Router.h"

namespace samplecatalogue {

void PlatformStatsEndpoint::install(Router& router, const CatalogueData& data, const QString& assetHost)
{
    router.backend(HttpMethod::Get, QStringLiteral("platform-stats"), [&data, assetHost](const CatalogueRequest&) {
        return CatalogueReply::json(QJsonObject{{QStringLiteral("data"), data.platformStats(assetHost)}});
    });
}

} // namespace samplecatalogue
