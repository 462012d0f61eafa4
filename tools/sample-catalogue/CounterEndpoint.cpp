#include "CounterEndpoint.h"

#include "CatalogueData.h"
#include "Router.h"
#include "UsageCounters.h"

namespace samplecatalogue {

void CounterEndpoint::install(Router& router, const CatalogueData& data, UsageCounters& counters)
{
    router.backend(HttpMethod::Get, QStringLiteral("increment-wallpaper"), [&data, &counters](const CatalogueRequest& request) {
        const auto key = request.queryInteger(QStringLiteral("key"));
        const QString kind = request.queryValue(QStringLiteral("type")).value_or(QString());
        if (!key || (kind != QLatin1String("downloads") && kind != QLatin1String("likes")))
            return CatalogueReply::error(400, QStringLiteral("key and a type of downloads or likes are required"));
        if (!data.wallpaper(*key))
            return CatalogueReply::error(404, QStringLiteral("No such wallpaper"));
        return CatalogueReply::json(QJsonObject{{QStringLiteral("success"), true},
                                                {QStringLiteral("key"), *key},
                                                {QStringLiteral("type"), kind},
                                                {QStringLiteral("count"), counters.increment(*key, kind)}});
    });
}

} // namespace samplecatalogue
