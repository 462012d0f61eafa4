#pragma once

#include <QString>

namespace samplecatalogue {

class CatalogueData;
class Router;

// "/platform-stats": the catalogue figures and the asset host, which is this server itself.
class PlatformStatsEndpoint {
public:
    static void install(Router& router, const CatalogueData& data, const QString& assetHost);
};

} // namespace samplecatalogue
