#pragma once

namespace samplecatalogue {

class CatalogueData;
class Router;

// "/get-categories" and "/get-home-page": the fixed browse structure of the catalogue.
class CatalogueEndpoints {
public:
    static void install(Router& router, const CatalogueData& data);
};

} // namespace samplecatalogue
