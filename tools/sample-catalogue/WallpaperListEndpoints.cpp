#include "WallpaperListEndpoints.h"

#include "CatalogueData.h"
#include "ReplyShapes.h"
#include "Router.h"
#include "WallpaperListReply.h"

#include <QHash>
#include <QJsonDocument>

#include <algorithm>
#include <random>

namespace samplecatalogue {

namespace {
using Items = QList<QJsonObject>;

constexpr qint64 kMaxLimit = 100;
constexpr qsizetype kSuggestionCount = 12;

struct Paging {
    qint64 page = 1;
    qint64 limit = 20;
};

std::optional<Paging> paging(const CatalogueRequest& request)
{
    const auto page = request.queryInteger(QStringLiteral("page"));
    const auto limit = request.queryInteger(QStringLiteral("limit"));
    if (!page || !limit || *page < 1 || *limit < 1 || *limit > kMaxLimit)
        return std::nullopt;
    return Paging{*page, *limit};
}

CatalogueReply badRequest(const QString& message)
{
    return CatalogueReply::error(400, message);
}

Items sortedBy(Items items, const QString& field)
{
    std::stable_sort(items.begin(), items.end(), [&field](const QJsonObject& a, const QJsonObject& b) {
        const QJsonValue left = a.value(field);
        const QJsonValue right = b.value(field);
        return left.isString() ? left.toString() > right.toString() : left.toInteger() > right.toInteger();
    });
    return items;
}

// A given seed always gives the same order, so pages of one shuffled list fit together.
Items shuffled(Items items, std::optional<qint64> seed)
{
    std::mt19937_64 generator(seed ? quint64(*seed) : std::random_device{}());
    std::shuffle(items.begin(), items.end(), generator);
    return items;
}

enum class Order { Newest, MostDownloaded, MostLiked, Random };

// The names clients use: modes for the catalogue-wide lists, sorts for a category's list.
const QHash<QString, Order> kModes{{QStringLiteral("recent"), Order::Newest},
                                   {QStringLiteral("download"), Order::MostDownloaded},
                                   {QStringLiteral("likes"), Order::MostLiked},
                                   {QStringLiteral("random"), Order::Random}};
// The category pages ask for "download", as the modes spell it; "downloads" is kept for older clients.
const QHash<QString, Order> kSorts{{QStringLiteral("latest"), Order::Newest},
                                   {QStringLiteral("download"), Order::MostDownloaded},
                                   {QStringLiteral("downloads"), Order::MostDownloaded},
                                   {QStringLiteral("likes"), Order::MostLiked},
                                   {QStringLiteral("random"), Order::Random}};

Items ordered(const Items& items, Order order, std::optional<qint64> seed)
{
    switch (order) {
    case Order::Newest: return sortedBy(items, QStringLiteral("created_at"));
    case Order::MostDownloaded: return sortedBy(items, QStringLiteral("downloads"));
    case Order::MostLiked: return sortedBy(items, QStringLiteral("likes"));
    case Order::Random: break;
    }
    return shuffled(items, seed);
}

Items filtered(const Items& items, const std::function<bool(const QJsonObject&)>& keep)
{
    Items kept;
    std::copy_if(items.begin(), items.end(), std::back_inserter(kept), keep);
    return kept;
}

QJsonArray pageOf(const Items& items, Paging paging)
{
    QJsonArray page;
    const qint64 start = (paging.page - 1) * paging.limit;
    for (qint64 i = start; i < std::min<qint64>(items.size(), start + paging.limit); ++i)
        page.append(items.at(i));
    return page;
}

// The catalogue and the shape a test asked for, as the handlers see them.
struct Lists {
    const CatalogueData& data;
    const ReplyShapes& shapes;
};

CatalogueReply wallpapers(const QJsonArray& items, const Lists& lists, const CatalogueRequest& request)
{
    return WallpaperListReply::make(items, lists.shapes.shapeFor(request, QStringLiteral("envelope")));
}

bool matchesResolution(const QJsonObject& item, const QString& filter)
{
    const qint64 width = item.value(QLatin1String("resolution_width")).toInteger();
    const qint64 height = item.value(QLatin1String("resolution_height")).toInteger();
    if (filter == QLatin1String("4K"))
        return width == 3840 && height == 2160;
    if (filter == QLatin1String("HD"))
        return width == 1920 && height == 1080;
    if (filter == QLatin1String("16:9"))
        return width * 9 == height * 16;
    // 21:9 screens are sold at 2560×1080 and 3440×1440, neither exactly 21:9.
    return width * 100 >= height * 230 && width * 100 <= height * 240;
}

CatalogueReply byMode(const Lists& lists, const CatalogueRequest& request)
{
    const CatalogueData& data = lists.data;
    const auto mode = request.queryValue(QStringLiteral("mode"));
    const auto page = paging(request);
    if (!mode || !page)
        return badRequest(QStringLiteral("mode, limit and page are required"));
    Items items = data.wallpapers();
    if (const auto type = request.queryValue(QStringLiteral("type"))) {
        if (*type != QLatin1String("lockscreen"))
            return badRequest(QStringLiteral("Unknown type: ") + *type);
        items = filtered(items, [](const QJsonObject& item) {
            return item.value(QLatin1String("for_lockscreen")).toBool();
        });
    }
    if (!kModes.contains(*mode))
        return badRequest(QStringLiteral("Unknown mode: ") + *mode);
    const Items sorted = ordered(items, kModes.value(*mode), request.queryInteger(QStringLiteral("seed")));
    return wallpapers(pageOf(sorted, *page), lists, request);
}

CatalogueReply byCategory(const Lists& lists, const CatalogueRequest& request)
{
    const CatalogueData& data = lists.data;
    const auto category = request.queryInteger(QStringLiteral("category"));
    const auto page = paging(request);
    if (!category || !page)
        return badRequest(QStringLiteral("category, limit and page are required"));
    const QString sort = request.queryValue(QStringLiteral("sort_by")).value_or(QStringLiteral("latest"));
    const Items items = filtered(data.wallpapers(), [&category](const QJsonObject& item) {
        return item.value(QLatin1String("category_id")).toInteger() == *category;
    });
    if (!kSorts.contains(sort))
        return badRequest(QStringLiteral("Unknown sort: ") + sort);
    const Items sorted = ordered(items, kSorts.value(sort), request.queryInteger(QStringLiteral("seed")));
    return wallpapers(pageOf(sorted, *page), lists, request);
}

CatalogueReply byResolution(const Lists& lists, const CatalogueRequest& request)
{
    const CatalogueData& data = lists.data;
    const auto filter = request.queryValue(QStringLiteral("filter"));
    const auto page = paging(request);
    if (!filter || !page)
        return badRequest(QStringLiteral("filter, limit and page are required"));
    if (!QStringList{QStringLiteral("4K"), QStringLiteral("HD"), QStringLiteral("16:9"), QStringLiteral("21:9")}.contains(*filter))
        return badRequest(QStringLiteral("Unknown filter: ") + *filter);
    const Items items = sortedBy(filtered(data.wallpapers(), [&filter](const QJsonObject& item) {
        return matchesResolution(item, *filter);
    }), QStringLiteral("created_at"));
    const bool hasMore = page->page * page->limit < items.size();
    const QJsonObject pagination{{QStringLiteral("page"), page->page},
                                 {QStringLiteral("limit"), page->limit},
                                 {QStringLiteral("next_page"), hasMore ? QJsonValue(page->page + 1) : QJsonValue()},
                                 {QStringLiteral("has_more"), hasMore},
                                 {QStringLiteral("filter"), *filter}};
    // "bare-array": the items alone, a shape clients of this endpoint must refuse.
    const QString shape = lists.shapes.shapeFor(request, QStringLiteral("page"));
    if (shape == QLatin1String("bare-array"))
        return CatalogueReply::json(QJsonDocument(pageOf(items, *page)));
    if (shape != QLatin1String("page"))
        return badRequest(QStringLiteral("Unknown reply shape: ") + shape);
    return CatalogueReply::json(QJsonObject{{QStringLiteral("wallpapers"), pageOf(items, *page)},
                                            {QStringLiteral("pagination"), pagination}});
}

CatalogueReply byId(const Lists& lists, const CatalogueRequest& request)
{
    const CatalogueData& data = lists.data;
    const auto keys = request.queryValue(QStringLiteral("keys"));
    if (!keys)
        return badRequest(QStringLiteral("keys is required"));
    QJsonArray items;
    for (const QString& text : keys->split(u',', Qt::SkipEmptyParts)) {
        bool isNumber = false;
        const qint64 key = text.toLongLong(&isNumber);
        if (!isNumber)
            return badRequest(QStringLiteral("Not a key: ") + text);
        if (const auto item = data.wallpaper(key))
            items.append(*item);
    }
    return wallpapers(items, lists, request);
}

CatalogueReply suggestions(const Lists& lists, const CatalogueRequest& request)
{
    const CatalogueData& data = lists.data;
    const QJsonValue key = QJsonDocument::fromJson(request.body).object().value(QLatin1String("key"));
    if (!key.isDouble() || key.toInteger(0) != key.toInteger(1))
        return badRequest(QStringLiteral("The body needs an integer \"key\""));
    const auto wallpaper = data.wallpaper(key.toInteger());
    if (!wallpaper)
        return wallpapers({}, lists, request);
    const qint64 category = wallpaper->value(QLatin1String("category_id")).toInteger();
    const Items related = filtered(data.wallpapers(), [&](const QJsonObject& item) {
        return item.value(QLatin1String("category_id")).toInteger() == category
               && CatalogueData::keyOf(item) != key.toInteger();
    });
    return wallpapers(pageOf(sortedBy(related, QStringLiteral("downloads")), {1, kSuggestionCount}), lists, request);
}
} // namespace

void WallpaperListEndpoints::install(Router& router, const CatalogueData& data, const ReplyShapes& shapes)
{
    const auto bind = [lists = Lists{data, shapes}](CatalogueReply (*handler)(const Lists&, const CatalogueRequest&)) {
        return [lists, handler](const CatalogueRequest& request) { return handler(lists, request); };
    };
    router.backend(HttpMethod::Get, QStringLiteral("get-wallpapers"), bind(byMode));
    router.backend(HttpMethod::Get, QStringLiteral("get-wallpapers-by-category"), bind(byCategory));
    router.backend(HttpMethod::Get, QStringLiteral("get-wallpapers-by-resolution"), bind(byResolution));
    router.backend(HttpMethod::Get, QStringLiteral("get-wallpapers-by-id"), bind(byId));
    router.backend(HttpMethod::Post, QStringLiteral("wallpaper-suggestions"), bind(suggestions));
}

} // namespace samplecatalogue
