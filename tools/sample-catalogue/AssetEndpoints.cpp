#include "AssetEndpoints.h"

#include "CatalogueData.h"
#include "MediaStore.h"
#include "Router.h"

#include <QDebug>

namespace samplecatalogue {

void AssetEndpoints::install(Router& router, const CatalogueData& data, MediaStore& media)
{
    router.open(HttpMethod::Get, QStringLiteral(R"(/wallpaper/(-?\d{1,19})/([a-z]+\.[a-z0-9]+))"),
                [&data, &media](const CatalogueRequest& request) {
                    bool isNumber = false;
                    const qint64 key = request.captures.value(0).toLongLong(&isNumber);
                    const auto source = isNumber ? data.mediaSource(key) : std::nullopt;
                    const auto asset = MediaRecipe::assetForFileName(request.captures.value(1));
                    if (!source || !asset)
                        return CatalogueReply::error(404, QStringLiteral("No such asset"));
                    QString failure;
                    const QString file = media.file(*source, *asset, &failure);
                    if (file.isEmpty()) {
                        qWarning().noquote() << "sample-catalogue:" << failure;
                        return CatalogueReply::error(500, QStringLiteral("Media generation failed: ") + failure);
                    }
                    return CatalogueReply::fromFile(file, MediaRecipe::contentType(*asset));
                });
    // The own-wallpapers page's background: a poster drawn for the page alone.
    router.open(HttpMethod::Get, QStringLiteral(R"(/custom_page_bg\.webp)"), [&media](const CatalogueRequest&) {
        const MediaRecipe::Source page{0, QStringLiteral("Share your loops"), 1920, 1080, 3, true};
        QString failure;
        const QString file = media.file(page, MediaRecipe::Asset::Poster, &failure);
        if (file.isEmpty())
            return CatalogueReply::error(500, QStringLiteral("Media generation failed: ") + failure);
        return CatalogueReply::fromFile(file, MediaRecipe::contentType(MediaRecipe::Asset::Poster));
    });
}

} // namespace samplecatalogue
