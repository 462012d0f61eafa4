#pragma once

#include "CatalogueReply.h"

#include <QJsonArray>
#include <QString>

namespace samplecatalogue {

// A list of wallpaper items in one of the shapes a backend may use, so that clients meet each:
//   "envelope"             {"wallpapers": [...]}           (the usual one)
//   "bare-array"           [...]
//   "data", "results"      {"data": [...]}, {"results": [...]}
//   "null-wallpapers-data" {"wallpapers": null, "data": [...]}
//   "empty-object"         {}
//   "keyless-item"         {"wallpapers": [..., an item without "key"]}
//   "text"                 a JSON string, no list at all
// An unknown shape is answered with 400, so that a typo in a test shows.
class WallpaperListReply {
public:
    static CatalogueReply make(const QJsonArray& items, const QString& shape);
};

} // namespace samplecatalogue
