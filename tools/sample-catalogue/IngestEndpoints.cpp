#include "IngestEndpoints.h"

#include "IngestStore.h"
#include "Router.h"

#include <QJsonDocument>

namespace samplecatalogue {

namespace {
CatalogueReply accept(IngestStore& store, const CatalogueRequest& request, const QString& space)
{
    QJsonParseError error;
    const QJsonDocument batch = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !batch.isArray())
        return CatalogueReply::error(400, QStringLiteral("A batch is a JSON array of signals"));
    store.add(batch.array(), space);
    return CatalogueReply::json(QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}});
}
} // namespace

void IngestEndpoints::install(Router& router, IngestStore& store)
{
    router.open(HttpMethod::Post, QStringLiteral("/v2/"), [&store](const CatalogueRequest& request) {
        return accept(store, request, QString());
    });
    router.open(HttpMethod::Post, QStringLiteral("/v2/namespace/([^/]+)/"), [&store](const CatalogueRequest& request) {
        return accept(store, request, request.captures.value(0));
    });
    router.control(HttpMethod::Get, QStringLiteral("/__control/ingest"), [&store](const CatalogueRequest&) {
        return CatalogueReply::json(QJsonDocument(store.signalList()));
    });
    router.open(HttpMethod::Get, QStringLiteral("/hotspot-detect\\.html"), [](const CatalogueRequest&) {
        return CatalogueReply{200, "text/html", "<HTML><HEAD><TITLE>Success</TITLE></HEAD><BODY>Success</BODY></HTML>", {}};
    });
}

} // namespace samplecatalogue
