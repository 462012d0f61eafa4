#pragma once

#include <QString>

namespace samplecatalogue {

class CatalogueData;
class ReplyShapes;
class Router;
class UploadStore;

// Community uploads: "/request-upload-url" (a new key and a signed address), "/upload-wallpaper"
// (the metadata; 404 for an unknown key, 403 for another device's, 409 when already registered),
// "/check-upload-status" (the device's uploads and their statuses), and the signed address itself,
// "PUT /uploads/<token>/<key>.mp4?expires=..&signature=..", open like a storage host: it refuses
// the bearer key and takes only "video/mp4".
// Address reply shapes a test may ask for: "folder" (usual, ".../uploads/<token>/?..."),
// "folder-no-slash", "file" (already ending in "<key>.mp4"), "numeric-key" ("wallpaper_key" as a
// number), "letters-key" (a key that is no number) and "no-expiry". A registered upload is
// "pending upload" until its file arrives, then "in review"; a test moves it on from there. Status reply shapes: "usual", "text-key" (a key as text) and
// "repeated-key" (each upload listed twice, an outdated status first).
class UploadEndpoints {
public:
    static void install(Router& router, const CatalogueData& data, UploadStore& uploads, const ReplyShapes& shapes,
                        const QString& baseUrl);
};

} // namespace samplecatalogue
