#pragma once

namespace samplecatalogue {

class CatalogueData;
class MediaStore;
class Router;

// "/wallpaper/<key>/<file>": posters, thumbnails and videos of the catalogue's wallpapers, drawn
// on first request and streamed with range support, and "/custom_page_bg.webp", the background of
// the own-wallpapers page. Open to anyone, like a public asset host.
class AssetEndpoints {
public:
    static void install(Router& router, const CatalogueData& data, MediaStore& media);
};

} // namespace samplecatalogue
