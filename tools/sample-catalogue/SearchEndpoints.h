#pragma once

namespace samplecatalogue {

class CatalogueData;
class ReplyShapes;
class Router;
class UsageCounters;

// The search overlay and the report sheet: "/search-wallpapers" ({"query"}: the wallpapers whose
// title, creator or category holds the query, most downloaded first), "/auto-complete"
// ({"query"}: lower-case titles and category names that hold it, the exact match first, then
// those that start with it) and "/flag-wallpaper" ({"key", "remarks"}; 404 for an unknown key).
// Backends answer search and auto-complete in several shapes; a test picks one:
//   search: any shape of WallpaperListReply ("envelope" usually);
//   auto-complete: "array" (usual, a JSON array of texts), "suggestion", "suggestions",
//   "results", "query" (the first text or the list under that member), "text" (the first as a
//   JSON string), "empty-array", "empty-object".
class SearchEndpoints {
public:
    static void install(Router& router, const CatalogueData& data, const ReplyShapes& shapes, UsageCounters& counters);
};

} // namespace samplecatalogue
