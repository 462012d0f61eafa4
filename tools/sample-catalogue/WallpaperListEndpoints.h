#pragma once

namespace samplecatalogue {

class CatalogueData;
class Router;

// The paged wallpaper lists: "/get-wallpapers" (by mode, optionally lock-screen only),
// "/get-wallpapers-by-category", "/get-wallpapers-by-resolution", "/get-wallpapers-by-id" and
// "/wallpaper-suggestions". Unknown modes, sorts and filters are refused with 400 so that a
// client typo shows up instead of an empty list.
class WallpaperListEndpoints {
public:
    static void install(Router& router, const CatalogueData& data);
};

} // namespace samplecatalogue
