#include "CatalogueData.h"

#include "UsageCounters.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace samplecatalogue {

namespace {
// Whole JSON numbers only: Qt keeps them as exact 64-bit integers, and a value with a fraction
// answers differently for the two defaults.
bool isInteger(const QJsonValue& value)
{
    return value.isDouble() && value.toInteger(0) == value.toInteger(1);
}

const QStringList kIntegerFields{QStringLiteral("key"), QStringLiteral("downloads"), QStringLiteral("likes"),
                                 QStringLiteral("category_id"), QStringLiteral("resolution_height"),
                                 QStringLiteral("resolution_width"), QStringLiteral("file_size"),
                                 QStringLiteral("duration_seconds")};
const QString kAssetHostPlaceholder = QStringLiteral("{asset_host}");
} // namespace

bool CatalogueData::load(const QString& seedFile, QString* error)
{
    QFile file(seedFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the seed %1: %2").arg(seedFile, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("the seed %1 is not a JSON object: %2").arg(seedFile, parseError.errorString());
        return false;
    }
    const QJsonObject seed = document.object();
    stats_ = seed.value(QLatin1String("platform_stats")).toObject();
    if (!readWallpapers(seed.value(QLatin1String("wallpapers")).toArray(), error)
        || !readCategories(seed.value(QLatin1String("categories")).toArray(), error)
        || !readHomePage(seed.value(QLatin1String("home_page")).toObject(), error)
        || !readPartnerWallpapers(seed.value(QLatin1String("partner_wallpapers")).toArray(), error)) {
        error->prepend(seedFile + QStringLiteral(": "));
        return false;
    }
    return true;
}

bool CatalogueData::readWallpapers(const QJsonArray& items, QString* error)
{
    for (const QJsonValue& value : items) {
        const QJsonObject item = value.toObject();
        for (const QString& field : kIntegerFields) {
            if (!isInteger(item.value(field))) {
                *error = QStringLiteral("wallpaper %1 has no integer \"%2\"")
                             .arg(QString::fromUtf8(QJsonDocument(item).toJson(QJsonDocument::Compact)), field);
                return false;
            }
        }
        const qint64 key = keyOf(item);
        if (!item.value(QLatin1String("created_at")).isString()) {
            *error = QStringLiteral("wallpaper %1 has no \"created_at\" text").arg(key);
            return false;
        }
        if (indexByKey_.contains(key)) {
            *error = QStringLiteral("wallpaper key %1 appears twice").arg(key);
            return false;
        }
        if (item.value(QLatin1String("resolution_width")).toInteger() <= 0
            || item.value(QLatin1String("resolution_height")).toInteger() <= 0) {
            *error = QStringLiteral("wallpaper %1 has no size").arg(key);
            return false;
        }
        indexByKey_.insert(key, wallpapers_.size());
        wallpapers_.append(item);
    }
    if (wallpapers_.isEmpty()) {
        *error = QStringLiteral("no wallpapers");
        return false;
    }
    return true;
}

bool CatalogueData::readCategories(const QJsonArray& categories, QString* error)
{
    for (const QJsonValue& value : categories) {
        const QJsonObject category = value.toObject();
        const QJsonValue cover = category.value(QLatin1String("wallpaper_key"));
        if (!isInteger(category.value(QLatin1String("id"))) || !category.value(QLatin1String("category_name")).isString()
            || (!cover.isUndefined() && !indexByKey_.contains(cover.toInteger()))) {
            *error = QStringLiteral("broken category %1")
                         .arg(QString::fromUtf8(QJsonDocument(category).toJson(QJsonDocument::Compact)));
            return false;
        }
        categoryNames_.insert(category.value(QLatin1String("id")).toInteger(),
                              category.value(QLatin1String("category_name")).toString());
    }
    categories_ = categories;
    return true;
}

bool CatalogueData::readHomePage(const QJsonObject& home, QString* error)
{
    if (!home.value(QLatin1String("hero_carousel")).isObject()) {
        *error = QStringLiteral("the home page has no hero carousel");
        return false;
    }
    QList<QJsonObject> layouts{home.value(QLatin1String("hero_carousel")).toObject()};
    const QJsonObject sections = home.value(QLatin1String("sections")).toObject();
    for (auto it = sections.begin(); it != sections.end(); ++it)
        layouts.append(it.value().toObject());
    for (const QJsonObject& layout : layouts) {
        for (const QJsonValue& key : layout.value(QLatin1String("keys")).toArray()) {
            if (!isInteger(key) || !indexByKey_.contains(key.toInteger())) {
                *error = QStringLiteral("the home page names an unknown wallpaper %1").arg(key.toVariant().toString());
                return false;
            }
        }
    }
    home_ = home;
    return true;
}

bool CatalogueData::readPartnerWallpapers(const QJsonArray& items, QString* error)
{
    static const QStringList kTexts{QStringLiteral("title"), QStringLiteral("slug"), QStringLiteral("category"),
                                    QStringLiteral("file_size"), QStringLiteral("thumbnail_url"),
                                    QStringLiteral("preview_url"), QStringLiteral("video_url"), QStringLiteral("page_url")};
    for (const QJsonValue& value : items) {
        const QJsonObject item = value.toObject();
        const bool complete = isInteger(item.value(QLatin1String("id")))
                              && std::all_of(kTexts.begin(), kTexts.end(),
                                             [&item](const QString& field) { return item.value(field).isString(); });
        if (!complete) {
            *error = QStringLiteral("broken partner wallpaper %1")
                         .arg(QString::fromUtf8(QJsonDocument(item).toJson(QJsonDocument::Compact)));
            return false;
        }
        partnerWallpapers_.append(item);
    }
    return true;
}

qint64 CatalogueData::keyOf(const QJsonObject& item)
{
    return item.value(QLatin1String("key")).toInteger();
}

QJsonObject CatalogueData::counted(QJsonObject item) const
{
    if (!usage_)
        return item;
    const qint64 key = keyOf(item);
    for (const QString& field : {QStringLiteral("downloads"), QStringLiteral("likes")})
        item.insert(field, item.value(field).toInteger() + usage_->count(key, field));
    return item;
}

QList<QJsonObject> CatalogueData::wallpapers() const
{
    QList<QJsonObject> items;
    items.reserve(wallpapers_.size());
    for (const QJsonObject& item : wallpapers_)
        items.append(counted(item));
    return items;
}

std::optional<QJsonObject> CatalogueData::wallpaper(qint64 key) const
{
    const auto it = indexByKey_.constFind(key);
    if (it == indexByKey_.constEnd())
        return std::nullopt;
    return counted(wallpapers_.at(*it));
}

bool CatalogueData::hasCategory(qint64 id) const
{
    return categoryNames_.contains(id);
}

QJsonObject CatalogueData::section(const QJsonObject& layout) const
{
    QJsonObject section;
    for (const QString& field : {QStringLiteral("title"), QStringLiteral("subtitle")}) {
        if (layout.contains(field))
            section.insert(field, layout.value(field));
    }
    QJsonArray items;
    for (const QJsonValue& key : layout.value(QLatin1String("keys")).toArray())
        items.append(counted(wallpapers_.at(indexByKey_.value(key.toInteger()))));
    section.insert(QStringLiteral("data"), items);
    return section;
}

QJsonObject CatalogueData::homePage() const
{
    QJsonObject page{{QStringLiteral("hero_carousel"), section(home_.value(QLatin1String("hero_carousel")).toObject())}};
    const QJsonObject sections = home_.value(QLatin1String("sections")).toObject();
    for (auto it = sections.begin(); it != sections.end(); ++it)
        page.insert(it.key(), section(it.value().toObject()));
    return page;
}

std::optional<QJsonObject> CatalogueData::partnerWallpaper(const QString& idOrSlug, const QString& assetHost) const
{
    for (const QJsonObject& item : partnerWallpapers_) {
        if (QString::number(item.value(QLatin1String("id")).toInteger()) != idOrSlug
            && item.value(QLatin1String("slug")).toString() != idOrSlug)
            continue;
        QJsonObject resolved = item;
        for (auto it = resolved.begin(); it != resolved.end(); ++it) {
            if (it->isString())
                *it = it->toString().replace(kAssetHostPlaceholder, assetHost);
        }
        return resolved;
    }
    return std::nullopt;
}

QJsonObject CatalogueData::platformStats(const QString& assetHost) const
{
    QJsonObject record{{QStringLiteral("total_wallpapers"), qint64(wallpapers_.size())},
                       {QStringLiteral("base_url"), assetHost}};
    for (auto it = stats_.begin(); it != stats_.end(); ++it) {
        const QJsonValue value = it.value();
        record.insert(it.key(), value.isString() ? QJsonValue(value.toString().replace(kAssetHostPlaceholder, assetHost))
                                                 : value);
    }
    return record;
}

MediaRecipe::Source CatalogueData::sourceOf(const QJsonObject& item) const
{
    MediaRecipe::Source source;
    source.key = keyOf(item);
    source.title = item.value(QLatin1String("title")).toString();
    source.width = int(item.value(QLatin1String("resolution_width")).toInteger());
    source.height = int(item.value(QLatin1String("resolution_height")).toInteger());
    // The files stay short whatever the item claims, so that generating the set stays quick.
    source.seconds = int(std::clamp<qint64>(item.value(QLatin1String("duration_seconds")).toInteger(), 3, 4));
    source.monochrome = categoryNames_.value(item.value(QLatin1String("category_id")).toInteger())
                        == QLatin1String("Monochrome");
    return source;
}

std::optional<MediaRecipe::Source> CatalogueData::mediaSource(qint64 key) const
{
    const auto item = wallpaper(key);
    if (!item)
        return std::nullopt;
    return sourceOf(*item);
}

QList<MediaRecipe::Source> CatalogueData::mediaSources() const
{
    QList<MediaRecipe::Source> sources;
    for (const QJsonObject& item : wallpapers_)
        sources.append(sourceOf(item));
    return sources;
}

} // namespace samplecatalogue
