#include "backend/CategoriesResponse.h"
#include "backend/GravelnookResponse.h"
#include "backend/HomePageResponse.h"
#include "backend/ResolutionWallpapersResponse.h"
#include "backend/UploadStatusResponse.h"
#include "backend/UploadURLResponse.h"
#include "backend/WallpapersResponse.h"
#include "foundation/JsonReader.h"

#include <QJsonDocument>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QJsonObject itemJson(qint64 key = 42)
{
    return QJsonObject{
        {QStringLiteral("key"), key},
        {QStringLiteral("title"), QStringLiteral("Harbor Lights")},
        {QStringLiteral("downloads"), 10},
        {QStringLiteral("creator"), QStringLiteral("kadeworks")},
        {QStringLiteral("likes"), 3},
        {QStringLiteral("category_id"), 2},
        {QStringLiteral("resolution_height"), 2160},
        {QStringLiteral("resolution_width"), 3840},
        {QStringLiteral("file_size"), 52'428'800},
        {QStringLiteral("duration_seconds"), 75},
        {QStringLiteral("created_at"), QStringLiteral("2025-10-08 03:39:33.111105+00")},
    };
}

QJsonObject with(QJsonObject json, const QString& key, const QJsonValue& value)
{
    if (value.isUndefined())
        json.remove(key);
    else
        json.insert(key, value);
    return json;
}

QByteArray bytes(const QJsonValue& value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson() : QJsonDocument(value.toObject()).toJson();
}

template <typename T>
T decode(const QJsonValue& json)
{
    return T::fromJson(JsonReader(json));
}

struct ItemCase {
    const char* name;
    QString key;
    QJsonValue value; // undefined: the key is removed
    bool decodes;
};

class WallpaperItemDecodingTest : public ::testing::TestWithParam<ItemCase> {};

TEST_P(WallpaperItemDecodingTest, FollowsTheBackendRules)
{
    const QJsonObject json = with(itemJson(), GetParam().key, GetParam().value);
    if (GetParam().decodes)
        EXPECT_NO_THROW(decode<WallpaperResponseItem>(json));
    else
        EXPECT_THROW(decode<WallpaperResponseItem>(json), JsonError);
}

INSTANTIATE_TEST_SUITE_P(Fields, WallpaperItemDecodingTest,
    ::testing::Values(ItemCase{"nullTitle", QStringLiteral("title"), QJsonValue::Null, true},
        ItemCase{"noCreator", QStringLiteral("creator"), QJsonValue::Undefined, true},
        ItemCase{"extraKey", QStringLiteral("thumbnail"), QStringLiteral("x"), true},
        ItemCase{"lockscreenFlag", QStringLiteral("for_lockscreen"), true, true},
        ItemCase{"lockscreenAsText", QStringLiteral("for_lockscreen"), QStringLiteral("true"), false},
        ItemCase{"nullDownloads", QStringLiteral("downloads"), QJsonValue::Null, false},
        ItemCase{"noKey", QStringLiteral("key"), QJsonValue::Undefined, false},
        ItemCase{"sizeAsText", QStringLiteral("file_size"), QStringLiteral("52428800"), false},
        ItemCase{"fractionalSize", QStringLiteral("file_size"), 1.5, false},
        ItemCase{"wholeDoubleSize", QStringLiteral("file_size"), 3e6, true},
        ItemCase{"categoryAsText", QStringLiteral("category_id"), QStringLiteral("2"), false},
        ItemCase{"createdAtAsNumber", QStringLiteral("created_at"), 5, false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST(ResponseRecordsTest, ItemKeepsTextsAndLargeKeysExactly)
{
    const auto items = WallpapersResponse::listFromReply(
        R"([{"key": 9007199254740993, "downloads": 1, "likes": 2, "category_id": 3, "resolution_height": 4,
             "resolution_width": 5, "file_size": 6, "duration_seconds": 7, "created_at": "not a date"}])");
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].key, 9'007'199'254'740'993);
    EXPECT_EQ(items[0].createdAt, QStringLiteral("not a date"));
    EXPECT_FALSE(items[0].title || items[0].creator || items[0].for_lockscreen);
}

TEST(ResponseRecordsTest, ListRepliesTakeTheEnvelopeOrABareArray)
{
    const QJsonArray two{itemJson(1), itemJson(2)};
    EXPECT_EQ(WallpapersResponse::listFromReply(bytes(QJsonObject{{QStringLiteral("wallpapers"), two}})).size(), 2);
    EXPECT_EQ(WallpapersResponse::listFromReply(bytes(two)).size(), 2);
    EXPECT_TRUE(WallpapersResponse::listFromReply(bytes(QJsonObject{{QStringLiteral("wallpapers"), QJsonArray()}})).isEmpty());

    // One broken item is left out of either shape; the others stay, in order.
    const QJsonArray broken{itemJson(1), with(itemJson(2), QStringLiteral("likes"), -1e300), itemJson(3),
        with(itemJson(4), QStringLiteral("key"), QJsonValue::Undefined)};
    for (const QByteArray& reply : {bytes(QJsonObject{{QStringLiteral("wallpapers"), broken}}), bytes(broken)}) {
        const auto items = WallpapersResponse::listFromReply(reply);
        ASSERT_EQ(items.size(), 2);
        EXPECT_EQ(items[0].key, 1);
        EXPECT_EQ(items[1].key, 3);
    }
    EXPECT_THROW(WallpapersResponse::listFromReply(R"({"wallpapers": null})"), JsonError);
    EXPECT_THROW(WallpapersResponse::listFromReply(R"({"items": []})"), JsonError);
    EXPECT_THROW(WallpapersResponse::listFromReply(""), JsonError);
    EXPECT_THROW(WallpapersResponse::listFromReply("\xff\xfe[]"), JsonError);
}

TEST(ResponseRecordsTest, CategoriesWithAndWithoutCover)
{
    const auto response = CategoriesResponse::fromJson(JsonReader::parse(
        R"({"categories": [{"id": 1, "category_name": "Nature", "wallpaper_key": 174},
                           {"id": 7, "category_name": "Gaming"},
                           {"id": 8, "category_name": "Cars", "wallpaper_key": null}]})"));
    ASSERT_EQ(response.categories.size(), 3);
    EXPECT_EQ(response.categories[0].wallpaperKey, 174);
    EXPECT_FALSE(response.categories[1].wallpaperKey);
    EXPECT_FALSE(response.categories[2].wallpaperKey);
    EXPECT_THROW(CategoriesResponse::fromJson(JsonReader::parse("[]")), JsonError);
}

TEST(ResponseRecordsTest, HomePageKeepsGoodSectionsAndDropsTheRest)
{
    const QJsonObject section{{QStringLiteral("title"), QStringLiteral("Trending")}, {QStringLiteral("data"), QJsonArray{itemJson()}}};
    const QJsonObject page{
        {QStringLiteral("hero_carousel"), QJsonObject{{QStringLiteral("data"),
            QJsonArray{itemJson(1), with(itemJson(9), QStringLiteral("likes"), -1e300), itemJson(2)}}}},
        {QStringLiteral("trending_now"), section},
        {QStringLiteral("bare"), QJsonObject{{QStringLiteral("data"), QJsonArray()}}},
        {QStringLiteral("count"), 5},
        {QStringLiteral("broken"), QJsonObject{{QStringLiteral("data"), QJsonArray{with(itemJson(), QStringLiteral("key"), QJsonValue::Undefined)}}}},
        {QStringLiteral("no_data"), QJsonObject{{QStringLiteral("title"), QStringLiteral("x")}}},
        {QStringLiteral("nothing"), QJsonValue::Null},
    };
    const auto home = decode<HomePageResponse>(page);
    EXPECT_EQ(home.heroCarousel.data.size(), 2);
    EXPECT_FALSE(home.heroCarousel.title);
    EXPECT_EQ(QSet<QString>(home.sections.keyBegin(), home.sections.keyEnd()),
        (QSet<QString>{QStringLiteral("trending_now"), QStringLiteral("bare"), QStringLiteral("broken")}));
    EXPECT_TRUE(home.sections.value(QStringLiteral("broken")).data.isEmpty()) << "its only item is left out";
    EXPECT_EQ(home.sections.value(QStringLiteral("trending_now")).title, QStringLiteral("Trending"));
    EXPECT_FALSE(home.sections.value(QStringLiteral("bare")).subtitle);

    const auto onlyHero = decode<HomePageResponse>(with(page, QStringLiteral("trending_now"), QJsonValue::Undefined));
    EXPECT_EQ(decode<HomePageResponse>(QJsonObject{{QStringLiteral("hero_carousel"), page.value(QStringLiteral("hero_carousel"))}})
                  .sections.size(),
        0);
    EXPECT_EQ(onlyHero.sections.size(), 2);
    EXPECT_THROW(decode<HomePageResponse>(with(page, QStringLiteral("hero_carousel"), QJsonValue::Undefined)), JsonError);
    EXPECT_THROW(decode<HomePageResponse>(with(page, QStringLiteral("hero_carousel"), QJsonValue::Null)), JsonError);
}

TEST(ResponseRecordsTest, ResolutionPagePagination)
{
    QJsonObject pagination{{QStringLiteral("page"), 2}, {QStringLiteral("limit"), 20}, {QStringLiteral("next_page"), QJsonValue::Null},
        {QStringLiteral("has_more"), false}, {QStringLiteral("filter"), QStringLiteral("4k")}};
    const QJsonObject page{{QStringLiteral("wallpapers"), QJsonArray{itemJson()}}, {QStringLiteral("pagination"), pagination}};
    const auto response = decode<ResolutionWallpapersResponse>(page);
    EXPECT_EQ(response.wallpapers.size(), 1);
    EXPECT_EQ(response.pagination.page, 2);
    EXPECT_FALSE(response.pagination.nextPage);
    EXPECT_EQ(response.pagination.filter, QStringLiteral("4k"));

    pagination.remove(QStringLiteral("has_more"));
    EXPECT_THROW(decode<ResolutionWallpapersResponse>(with(page, QStringLiteral("pagination"), pagination)), JsonError);
}

TEST(ResponseRecordsTest, PartnerReplyNeedsCompleteData)
{
    const QJsonObject data{{QStringLiteral("id"), 7}, {QStringLiteral("title"), QStringLiteral("Koi")},
        {QStringLiteral("slug"), QStringLiteral("koi")}, {QStringLiteral("category"), QStringLiteral("Animals")},
        {QStringLiteral("file_size"), QStringLiteral("12 MB")}, {QStringLiteral("thumbnail_url"), QStringLiteral("not checked")},
        {QStringLiteral("preview_url"), QStringLiteral("p")}, {QStringLiteral("video_url"), QStringLiteral("v")},
        {QStringLiteral("page_url"), QStringLiteral("g")}};
    const auto response = decode<GravelnookResponse>(QJsonObject{{QStringLiteral("success"), false}, {QStringLiteral("data"), data}});
    EXPECT_FALSE(response.success);
    EXPECT_EQ(response.data.thumbnailUrl, QStringLiteral("not checked"));
    EXPECT_FALSE(response.data.resolution || response.data.durationSeconds);

    EXPECT_THROW(decode<GravelnookResponse>(QJsonObject{{QStringLiteral("success"), false}}), JsonError);
    EXPECT_THROW(decode<GravelnookResponse>(QJsonObject{{QStringLiteral("success"), true},
                     {QStringLiteral("data"), with(data, QStringLiteral("file_size"), 12)}}),
        JsonError);
}

TEST(ResponseRecordsTest, UploadRecords)
{
    const auto address = decode<UploadURLResponse>(QJsonObject{{QStringLiteral("wallpaper_key"), QStringLiteral("1718")},
        {QStringLiteral("upload_url"), QStringLiteral("https://x/y")}, {QStringLiteral("expires_in"), 600}});
    EXPECT_EQ(address.wallpaperKey, QStringLiteral("1718"));
    EXPECT_EQ(address.expiresIn, 600);
    EXPECT_THROW(decode<UploadURLResponse>(QJsonObject{{QStringLiteral("wallpaper_key"), 1718},
                     {QStringLiteral("upload_url"), QStringLiteral("u")}, {QStringLiteral("expires_in"), 600}}),
        JsonError);

    const auto statuses = UploadStatusResponse::fromJson(
        JsonReader::parse(R"({"uploads": [{"key": 1, "status": "pending"}, {"key": 1, "status": "approved"}]})"));
    ASSERT_EQ(statuses.uploads.size(), 2);
    EXPECT_THROW(UploadStatusResponse::fromJson(JsonReader::parse(R"({"uploads": [{"key": "1", "status": "x"}]})")), JsonError);
}
