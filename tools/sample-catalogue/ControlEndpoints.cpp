#include "ControlEndpoints.h"

#include "FaultInjector.h"
#include "ReplyShapes.h"
#include "RequestLog.h"
#include "Router.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace samplecatalogue {

namespace {
const QJsonObject kDone{{QStringLiteral("ok"), true}};

QJsonObject toJson(const CatalogueRequest& request)
{
    QJsonArray query;
    for (const auto& [name, value] : request.query)
        query.append(QJsonArray{name, value});
    QJsonObject headers;
    for (auto it = request.headers.begin(); it != request.headers.end(); ++it)
        headers.insert(QString::fromLatin1(it.key()), QString::fromUtf8(it.value()));
    return {{QStringLiteral("method"), QString::fromLatin1(request.method)},
            {QStringLiteral("path"), request.path},
            {QStringLiteral("query"), query},
            {QStringLiteral("headers"), headers},
            {QStringLiteral("body"), QString::fromUtf8(request.body)}};
}
} // namespace

void ControlEndpoints::install(Router& router, FaultInjector& faults, RequestLog& log, ReplyShapes& shapes)
{
    router.control(HttpMethod::Post, QStringLiteral("/__control/fault"), [&faults](const CatalogueRequest& request) {
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        const QString path = body.value(QLatin1String("path")).toString();
        if (!path.startsWith(u'/'))
            return CatalogueReply::error(400, QStringLiteral("The body needs a \"path\" starting with /"));
        Fault fault;
        fault.status = body.value(QLatin1String("status")).toInt();
        fault.delayMs = body.value(QLatin1String("delay_ms")).toInt();
        fault.cutShort = body.value(QLatin1String("cut_short")).toBool();
        fault.invalidJson = body.value(QLatin1String("invalid_json")).toBool();
        fault.emptyBody = body.value(QLatin1String("empty_body")).toBool();
        fault.endless = body.value(QLatin1String("endless")).toBool();
        fault.times = body.value(QLatin1String("times")).toInt(-1);
        faults.setFault(path, fault);
        return CatalogueReply::json(kDone);
    });
    router.control(HttpMethod::Post, QStringLiteral("/__control/clear-faults"), [&faults](const CatalogueRequest&) {
        faults.clearFaults();
        return CatalogueReply::json(kDone);
    });
    router.control(HttpMethod::Get, QStringLiteral("/__control/requests"), [&log](const CatalogueRequest& request) {
        const QString path = request.queryValue(QStringLiteral("path")).value_or(QString());
        const auto last = log.last(path);
        return CatalogueReply::json(QJsonObject{{QStringLiteral("count"), log.count(path)},
                                                {QStringLiteral("last"), last ? QJsonValue(toJson(*last)) : QJsonValue()}});
    });
    router.control(HttpMethod::Post, QStringLiteral("/__control/clear-requests"), [&log](const CatalogueRequest&) {
        log.clear();
        return CatalogueReply::json(kDone);
    });
    router.control(HttpMethod::Post, QStringLiteral("/__control/reply-shape"), [&shapes](const CatalogueRequest& request) {
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        const QString path = body.value(QLatin1String("path")).toString();
        if (!path.startsWith(u'/'))
            return CatalogueReply::error(400, QStringLiteral("The body needs a \"path\" starting with /"));
        shapes.setShape(path, body.value(QLatin1String("shape")).toString());
        return CatalogueReply::json(kDone);
    });
}

} // namespace samplecatalogue
