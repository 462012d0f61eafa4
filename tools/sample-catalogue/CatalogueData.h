#pragma once

#include "MediaRecipe.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace samplecatalogue {

class UsageCounters;

// The catalogue the sample server answers from, read once from the seed file: wallpaper items
// exactly as the backend sends them, categories, the home page layout, the platform figures and a
// few wallpapers of the partner site.
// Read-only after load, so server threads share it freely.
class CatalogueData {
public:
    // Reads and checks the seed; false, with the reason in error, when it is missing or broken
    // (keys that are not 64-bit integers, duplicate keys, references to unknown keys, ...).
    bool load(const QString& seedFile, QString* error);

    // Downloads and likes clients counted are added to the seed's figures of every item served,
    // as a real backend's records grow.
    void countWith(const UsageCounters& usage) { usage_ = &usage; }

    // Every wallpaper item, in seed order.
    QList<QJsonObject> wallpapers() const;
    std::optional<QJsonObject> wallpaper(qint64 key) const;
    static qint64 keyOf(const QJsonObject& item);

    QJsonArray categories() const { return categories_; }
    bool hasCategory(qint64 id) const;
    QString categoryName(qint64 id) const { return categoryNames_.value(id); }

    // A wallpaper of the partner site by its id or slug, its addresses on the asset host
    // "host:port".
    std::optional<QJsonObject> partnerWallpaper(const QString& idOrSlug, const QString& assetHost) const;

    // The home page reply: "hero_carousel" and one member per section, each with its items.
    QJsonObject homePage() const;

    // The platform statistics record for an asset host "host:port".
    QJsonObject platformStats(const QString& assetHost) const;

    std::optional<MediaRecipe::Source> mediaSource(qint64 key) const;
    QList<MediaRecipe::Source> mediaSources() const;

private:
    bool readWallpapers(const QJsonArray& items, QString* error);
    bool readCategories(const QJsonArray& categories, QString* error);
    bool readHomePage(const QJsonObject& home, QString* error);
    bool readPartnerWallpapers(const QJsonArray& items, QString* error);
    QJsonObject section(const QJsonObject& layout) const;
    MediaRecipe::Source sourceOf(const QJsonObject& item) const;
    QJsonObject counted(QJsonObject item) const;

    QList<QJsonObject> wallpapers_;
    QHash<qint64, qsizetype> indexByKey_;
    QJsonArray categories_;
    QHash<qint64, QString> categoryNames_;
    QJsonObject home_;
    QList<QJsonObject> partnerWallpapers_;
    QJsonObject stats_;
    const UsageCounters* usage_ = nullptr;
};

} // namespace samplecatalogue
