#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "model/WallpaperPlaylist.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

WallpaperPlaylist playlist(QList<qint64> keys)
{
    return WallpaperPlaylist{QUuid::fromString(QStringLiteral("0a8e6f4c-1b2d-4e3f-8a9b-0c1d2e3f4a5b")),
        QStringLiteral("Evenings"), 900, std::move(keys),
        QDateTime::fromMSecsSinceEpoch(JsonReader::kReferenceDateMSecs + 770'000'000'250, Qt::UTC)};
}

WallpaperPlaylist reread(const WallpaperPlaylist& list)
{
    return WallpaperPlaylist::fromJson(JsonReader::parse(JsonWriter::toBytes(list.toJson())));
}

} // namespace

TEST(WallpaperPlaylistTest, StoredFormKeepsOrderDuplicatesAndTheDate)
{
    const WallpaperPlaylist original = playlist({3, -4242, 3, 9'007'199'254'740'993});
    const QJsonObject json = original.toJson();
    EXPECT_EQ(json.value(QStringLiteral("id")).toString(), QStringLiteral("0A8E6F4C-1B2D-4E3F-8A9B-0C1D2E3F4A5B"));
    EXPECT_DOUBLE_EQ(json.value(QStringLiteral("createdAt")).toDouble(), 770'000'000.25);

    const WallpaperPlaylist back = reread(original);
    EXPECT_EQ(back.name, original.name);
    EXPECT_EQ(back.autoChangeIntervalSeconds, 900);
    EXPECT_EQ(back.wallpaperKeys, original.wallpaperKeys);
    EXPECT_EQ(back.createdAt, original.createdAt);
}

TEST(WallpaperPlaylistTest, EmptyKeyListIsAnEmptyArray)
{
    const WallpaperPlaylist original = playlist({});
    EXPECT_EQ(original.toJson().value(QStringLiteral("wallpaperKeys")), QJsonValue(QJsonArray()));
    EXPECT_TRUE(reread(original).wallpaperKeys.isEmpty());
}

TEST(WallpaperPlaylistTest, EveryKeyIsRequiredWithItsType)
{
    const QJsonObject good = playlist({1}).toJson();
    const QList<std::pair<QString, QJsonValue>> broken{
        {QStringLiteral("id"), QJsonValue::Undefined},
        {QStringLiteral("name"), QJsonValue::Undefined},
        {QStringLiteral("autoChangeIntervalSeconds"), QJsonValue::Undefined},
        {QStringLiteral("wallpaperKeys"), QJsonValue::Undefined},
        {QStringLiteral("createdAt"), QJsonValue::Undefined},
        {QStringLiteral("createdAt"), QStringLiteral("2025-01-01T00:00:00Z")},
        {QStringLiteral("name"), QJsonValue::Null},
        {QStringLiteral("wallpaperKeys"), QStringLiteral("1,2")},
    };
    for (const auto& [key, value] : broken) {
        QJsonObject json = good;
        if (value.isUndefined())
            json.remove(key);
        else
            json.insert(key, value);
        EXPECT_THROW(WallpaperPlaylist::fromJson(JsonReader(json)), JsonError) << key.toStdString();
    }
}

TEST(WallpaperPlaylistTest, IdentityIsTheIdAlone)
{
    const WallpaperPlaylist before = playlist({1, 2});
    WallpaperPlaylist renamed = before;
    renamed.name = QStringLiteral("Mornings");
    renamed.wallpaperKeys = {9};
    EXPECT_EQ(before, renamed);
    EXPECT_EQ(qHash(before), qHash(renamed));
    EXPECT_TRUE(QSet<WallpaperPlaylist>{before}.contains(renamed));

    WallpaperPlaylist twin = before;
    twin.id = QUuid::createUuid();
    EXPECT_NE(before, twin);
}
