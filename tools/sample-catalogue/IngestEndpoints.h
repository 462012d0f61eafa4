#pragma once

namespace samplecatalogue {

class IngestStore;
class Router;

// The analytics ingest service: POST "/v2/" and "/v2/namespace/<name>/" take a JSON array of
// signals and keep them in the store ("GET /__control/ingest" reads them back for a child-process
// server). Also the connectivity probe "/hotspot-detect.html", which answers 200 while up.
class IngestEndpoints {
public:
    static void install(Router& router, IngestStore& store);
};

} // namespace samplecatalogue
