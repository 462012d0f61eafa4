#include "SearchEndpoints.h"

#include "CatalogueData.h"
#include "ReplyShapes.h"
#include "Router.h"
#include "UsageCounters.h"
#include "WallpaperListReply.h"

#include <QJsonArray>

#include <algorithm>

namespace samplecatalogue {

namespace {
constexpr qsizetype kMaxResults = 50;
constexpr qsizetype kMaxSuggestions = 8;

std::optional<QString> queryOf(const CatalogueRequest& request)
{
    const QJsonValue query = QJsonDocument::fromJson(request.body).object().value(QLatin1String("query"));
    if (!query.isString())
        return std::nullopt;
    return query.toString();
}

CatalogueReply needsQuery()
{
    return CatalogueReply::error(400, QStringLiteral("The body needs a \"query\" text"));
}

CatalogueReply search(const CatalogueData& data, const ReplyShapes& shapes, const CatalogueRequest& request)
{
    const auto query = queryOf(request);
    if (!query)
        return needsQuery();
    const QString needle = query->trimmed();
    QList<QJsonObject> found;
    for (const QJsonObject& item : data.wallpapers()) {
        const QStringList texts{item.value(QLatin1String("title")).toString(), item.value(QLatin1String("creator")).toString(),
                                data.categoryName(item.value(QLatin1String("category_id")).toInteger())};
        if (!needle.isEmpty() && std::any_of(texts.begin(), texts.end(), [&needle](const QString& text) {
                return text.contains(needle, Qt::CaseInsensitive);
            }))
            found.append(item);
    }
    std::stable_sort(found.begin(), found.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QLatin1String("downloads")).toInteger() > b.value(QLatin1String("downloads")).toInteger();
    });
    QJsonArray items;
    for (qsizetype i = 0; i < std::min(found.size(), kMaxResults); ++i)
        items.append(found.at(i));
    return WallpaperListReply::make(items, shapes.shapeFor(request, QStringLiteral("envelope")));
}

// Lower-case titles and category names holding the query: the exact match, then those starting
// with it, then the rest, each alphabetically.
QStringList completions(const CatalogueData& data, const QString& query)
{
    const QString needle = query.trimmed().toLower();
    if (needle.isEmpty())
        return {};
    QStringList texts;
    for (const QJsonObject& item : data.wallpapers())
        texts.append(item.value(QLatin1String("title")).toString().toLower());
    for (const QJsonValue& category : data.categories())
        texts.append(category.toObject().value(QLatin1String("category_name")).toString().toLower());
    texts.removeDuplicates();
    texts.removeIf([&needle](const QString& text) { return !text.contains(needle); });
    const auto rank = [&needle](const QString& text) { return text == needle ? 0 : text.startsWith(needle) ? 1 : 2; };
    std::sort(texts.begin(), texts.end(), [&rank](const QString& a, const QString& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
    });
    return texts.mid(0, kMaxSuggestions);
}

CatalogueReply autoComplete(const CatalogueData& data, const ReplyShapes& shapes, const CatalogueRequest& request)
{
    const auto query = queryOf(request);
    if (!query)
        return needsQuery();
    const QStringList texts = completions(data, *query);
    const QJsonArray list = QJsonArray::fromStringList(texts);
    const QJsonValue first = texts.isEmpty() ? QJsonValue(QString()) : QJsonValue(texts.first());
    const QString shape = shapes.shapeFor(request, QStringLiteral("array"));
    if (shape == QLatin1String("array"))
        return CatalogueReply::json(QJsonDocument(list));
    if (shape == QLatin1String("suggestion") || shape == QLatin1String("query"))
        return CatalogueReply::json(QJsonObject{{shape, first}});
    if (shape == QLatin1String("suggestions") || shape == QLatin1String("results"))
        return CatalogueReply::json(QJsonObject{{shape, list}});
    // A document holds only arrays and objects: the bare string is cut out of a one-element array.
    if (shape == QLatin1String("text"))
        return {200, "application/json", QJsonDocument(QJsonArray{first}).toJson(QJsonDocument::Compact).mid(1).chopped(1), {}};
    if (shape == QLatin1String("empty-array"))
        return CatalogueReply::json(QJsonDocument(QJsonArray()));
    if (shape == QLatin1String("empty-object"))
        return CatalogueReply::json(QJsonObject());
    return CatalogueReply::error(400, QStringLiteral("Unknown reply shape: ") + shape);
}

CatalogueReply report(const CatalogueData& data, UsageCounters& counters, const CatalogueRequest& request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QJsonValue key = body.value(QLatin1String("key"));
    const QJsonValue remarks = body.value(QLatin1String("remarks"));
    if (!key.isDouble() || key.toInteger(0) != key.toInteger(1) || !remarks.isString())
        return CatalogueReply::error(400, QStringLiteral("The body needs an integer \"key\" and a \"remarks\" text"));
    if (!data.wallpaper(key.toInteger()))
        return CatalogueReply::error(404, QStringLiteral("No such wallpaper"));
    counters.report(key.toInteger(), remarks.toString());
    return CatalogueReply::json(QJsonObject{{QStringLiteral("success"), true}});
}
} // namespace

void SearchEndpoints::install(Router& router, const CatalogueData& data, const ReplyShapes& shapes, UsageCounters& counters)
{
    router.backend(HttpMethod::Post, QStringLiteral("search-wallpapers"), [&data, &shapes](const CatalogueRequest& request) {
        return search(data, shapes, request);
    });
    router.backend(HttpMethod::Post, QStringLiteral("auto-complete"), [&data, &shapes](const CatalogueRequest& request) {
        return autoComplete(data, shapes, request);
    });
    router.backend(HttpMethod::Post, QStringLiteral("flag-wallpaper"), [&data, &counters](const CatalogueRequest& request) {
        return report(data, counters, request);
    });
}

} // namespace samplecatalogue
