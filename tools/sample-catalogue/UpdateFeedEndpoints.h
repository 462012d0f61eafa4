#pragma once

#include <QString>

namespace samplecatalogue {

class Router;

// The update feed and its packages, open to anyone like the asset host:
// - "/appcast.xml": the file "appcast.xml" of the updates folder, read on every request, with
//   "{base_url}" replaced by the server's address; without that file, a feed whose version
//   ("0.0.0") is never newer.
// - "/updates/<name>": the file <name> of the updates folder, streamed with range support.
// Tests build packages and feeds into the folder (Options::updatesFolder) while the server runs.
class UpdateFeedEndpoints {
public:
    static void install(Router& router, const QString& updatesFolder, const QString& baseUrl);
};

} // namespace samplecatalogue
