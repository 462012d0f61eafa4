#pragma once

namespace samplecatalogue {

class CatalogueData;
class ReplyShapes;
class Router;

// "/get-categories" and "/get-home-page": the fixed browse structure of the catalogue. The
// categories come as their envelope, or as a "bare-array" or an "empty" envelope when a test asks.
class CatalogueEndpoints {
public:
    static void install(Router& router, const CatalogueData& data, const ReplyShapes& shapes);
};

} // namespace samplecatalogue
