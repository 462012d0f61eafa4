#pragma once

namespace samplecatalogue {

class Router;

// "/assets/in-app/entries.json": the stock lock-screen manifest (categories and assets) that
// clients put back when the lock-screen feature is switched off, served byte for byte from
// stock-entries.json next to the seed. Open to anyone, like the rest of the asset host.
class StockManifestEndpoint {
public:
    static void install(Router& router);
};

} // namespace samplecatalogue
