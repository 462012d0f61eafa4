#pragma once

#include <QString>

namespace samplecatalogue {

class CatalogueData;
class ReplyShapes;
class Router;

// "/gravel-nook?id=<id or slug>": one wallpaper of the partner site, {"success", "data"}; 404 for
// an unknown one. Reply shapes a test may ask for: "success" (usual) and "failure" (success false
// with complete data).
class PartnerEndpoint {
public:
    static void install(Router& router, const CatalogueData& data, const ReplyShapes& shapes, const QString& assetHost);
};

} // namespace samplecatalogue
