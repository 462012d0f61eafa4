#include "StockManifestEndpoint.h"

#include "Router.h"

#include <QFileInfo>

namespace samplecatalogue {

void StockManifestEndpoint::install(Router& router)
{
    router.open(HttpMethod::Get, QStringLiteral("/assets/in-app/entries\\.json"), [](const CatalogueRequest&) {
        const QString file = QStringLiteral(SAMPLE_CATALOGUE_SOURCE_DIR "/stock-entries.json");
        if (!QFileInfo(file).isReadable())
            return CatalogueReply::error(500, QStringLiteral("Stock manifest missing: ") + file);
        return CatalogueReply::fromFile(file, "application/json");
    });
}

} // namespace samplecatalogue
