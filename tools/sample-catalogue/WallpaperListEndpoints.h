#pragma once

namespace samplecatalogue {

class CatalogueData;
class ReplyShapes;
class Router;

// The paged wallpaper lists: "/get-wallpapers" (by mode, optionally lock-screen only),
// "/get-wallpapers-by-category", "/get-wallpapers-by-resolution", "/get-wallpapers-by-id" and
// "/wallpaper-suggestions". Unknown modes, sorts and filters are refused with 400 so that a
// client typo shows up instead of an empty list. The lists come in any shape of
// WallpaperListReply when a test asks (the envelope otherwise); the resolution page as
// "bare-array" or its usual "page".
class WallpaperListEndpoints {
public:
    static void install(Router& router, const CatalogueData& data, const ReplyShapes& shapes);
};

} // namespace samplecatalogue
