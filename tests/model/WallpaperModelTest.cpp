#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "model/WallpaperModel.h"

#include <QJsonDocument>
#include <QSet>

#include <gtest/gtest.h>

namespace {

WallpaperModel fullRecord()
{
    WallpaperModel wallpaper;
    wallpaper.id = QUuid::fromString(QStringLiteral("6f1c2a40-8d1e-4c3b-9a57-0e2d4f6a8b10"));
    wallpaper.key = 9'007'199'254'740'993; // beyond what a double holds exactly
    wallpaper.title = QStringLiteral("Harbor Lights");
    wallpaper.category = QStringLiteral("City");
    wallpaper.imageUrl = QUrl(QStringLiteral("https://assets.example/wallpaper/42/poster.webp"));
    wallpaper.posterUrl = wallpaper.imageUrl;
    wallpaper.videoUrl = QUrl(QStringLiteral("https://assets.example/wallpaper/42/preview.mp4"));
    wallpaper.previewhdUrl = QUrl(QStringLiteral("https://assets.example/wallpaper/42/previewhd.mp4"));
    wallpaper.masterUrl = QUrl(QStringLiteral("https://assets.example/wallpaper/42/master.mp4?sig=a%2Bb"));
    wallpaper.likes = 12;
    wallpaper.downloads = -3;
    wallpaper.createdAt = QStringLiteral("2025-06-08T03:11:17.012345+00:00");
    wallpaper.resolution = QStringLiteral("3840×2160");
    wallpaper.fileSize = QStringLiteral("50MB");
    wallpaper.duration = QStringLiteral("1:15s");
    wallpaper.is_4k = true;
    wallpaper.isFromGravelnook = true;
    wallpaper.forLockscreen = true;
    return wallpaper;
}

QJsonObject minimalJson()
{
    return QJsonObject{
        {QStringLiteral("id"), QStringLiteral("6F1C2A40-8D1E-4C3B-9A57-0E2D4F6A8B10")},
        {QStringLiteral("title"), QStringLiteral("Fern Rain")},
        {QStringLiteral("category"), QStringLiteral("Nature")},
        {QStringLiteral("likes"), 1},
        {QStringLiteral("downloads"), 2},
        {QStringLiteral("createdAt"), QStringLiteral("yesterday")},
    };
}

WallpaperModel decode(const QJsonObject& json) { return WallpaperModel::fromJson(JsonReader(json)); }

// Decoding through the stored text, as the lists are read back.
WallpaperModel reread(const WallpaperModel& wallpaper)
{
    return WallpaperModel::fromJson(JsonReader::parse(JsonWriter::toBytes(wallpaper.toJson())));
}

} // namespace

TEST(WallpaperModelTest, StoredFormRoundTripsEveryField)
{
    const WallpaperModel original = fullRecord();
    const WallpaperModel back = reread(original);

    EXPECT_EQ(back.toJson(), original.toJson());
    EXPECT_EQ(back.key, original.key);
    EXPECT_EQ(back.masterUrl, original.masterUrl);
    EXPECT_EQ(back.resolution, original.resolution);
    EXPECT_TRUE(back.is_4k && back.isFromGravelnook && back.forLockscreen);
}

// A long liked list holds five addresses per record: each keeps its text and no room beside it.
TEST(WallpaperModelTest, AReadRecordKeepsItsAddressesAsTheirTextAlone)
{
    const WallpaperModel back = reread(fullRecord());
    for (const std::optional<WebAddress>& address : {back.imageUrl, back.posterUrl, back.videoUrl, back.previewhdUrl, back.masterUrl}) {
        ASSERT_TRUE(address);
        EXPECT_EQ(address->encoded().capacity(), address->encoded().size()) << address->encoded().constData();
    }
}

TEST(WallpaperModelTest, WritesTheSystemKeysAndAnUpperCaseId)
{
    const QJsonObject json = fullRecord().toJson();
    EXPECT_EQ(json.value(QStringLiteral("id")).toString(), QStringLiteral("6F1C2A40-8D1E-4C3B-9A57-0E2D4F6A8B10"));
    EXPECT_TRUE(json.value(QStringLiteral("is_from_gravel_nook")).toBool());
    EXPECT_TRUE(json.value(QStringLiteral("for_lockscreen")).toBool());
    EXPECT_FALSE(json.contains(QStringLiteral("isFromGravelnook")));
    EXPECT_FALSE(json.contains(QStringLiteral("forLockscreen")));
    EXPECT_EQ(json.value(QStringLiteral("key")).toInteger(), 9'007'199'254'740'993);
}

TEST(WallpaperModelTest, MinimalRecordReadsAbsentFieldsAndWritesNoNulls)
{
    QJsonObject json = minimalJson();
    json.insert(QStringLiteral("key"), QJsonValue::Null);
    json.insert(QStringLiteral("is_4k"), QJsonValue::Null);
    json.insert(QStringLiteral("unknownKey"), QStringLiteral("dropped"));

    const WallpaperModel wallpaper = decode(json);
    EXPECT_FALSE(wallpaper.key);
    EXPECT_FALSE(wallpaper.imageUrl || wallpaper.posterUrl || wallpaper.videoUrl || wallpaper.previewhdUrl
        || wallpaper.masterUrl);
    EXPECT_FALSE(wallpaper.resolution || wallpaper.fileSize || wallpaper.duration);
    EXPECT_FALSE(wallpaper.is_4k || wallpaper.isFromGravelnook || wallpaper.forLockscreen);

    const QJsonObject written = wallpaper.toJson();
    for (const char* absent : {"key", "imageUrl", "posterUrl", "videoUrl", "previewhdUrl", "masterUrl", "resolution",
             "fileSize", "duration", "unknownKey"}) {
        EXPECT_FALSE(written.contains(QLatin1String(absent))) << absent;
    }
    for (const char* flag : {"is_4k", "is_from_gravel_nook", "for_lockscreen"}) {
        ASSERT_TRUE(written.value(QLatin1String(flag)).isBool()) << flag;
        EXPECT_FALSE(written.value(QLatin1String(flag)).toBool()) << flag;
    }
}

struct BrokenRecord {
    const char* name;
    QString key;
    QJsonValue value; // undefined: the key is removed
};

class WallpaperModelBrokenTest : public ::testing::TestWithParam<BrokenRecord> {};

TEST_P(WallpaperModelBrokenTest, DoesNotDecodeAtAll)
{
    QJsonObject json = minimalJson();
    if (GetParam().value.isUndefined())
        json.remove(GetParam().key);
    else
        json.insert(GetParam().key, GetParam().value);
    try {
        decode(json);
        FAIL() << "decoded";
    } catch (const JsonError& error) {
        EXPECT_EQ(error.path(), GetParam().key);
    }
}

INSTANTIATE_TEST_SUITE_P(RequiredAndTyped, WallpaperModelBrokenTest,
    ::testing::Values(BrokenRecord{"noId", QStringLiteral("id"), QJsonValue::Undefined},
        BrokenRecord{"noTitle", QStringLiteral("title"), QJsonValue::Undefined},
        BrokenRecord{"noCategory", QStringLiteral("category"), QJsonValue::Undefined},
        BrokenRecord{"noLikes", QStringLiteral("likes"), QJsonValue::Undefined},
        BrokenRecord{"noDownloads", QStringLiteral("downloads"), QJsonValue::Undefined},
        BrokenRecord{"noCreatedAt", QStringLiteral("createdAt"), QJsonValue::Undefined},
        BrokenRecord{"nullTitle", QStringLiteral("title"), QJsonValue::Null},
        BrokenRecord{"likesAsText", QStringLiteral("likes"), QStringLiteral("12")},
        BrokenRecord{"fractionalDownloads", QStringLiteral("downloads"), 1.5},
        BrokenRecord{"flagAsNumber", QStringLiteral("is_4k"), 1},
        BrokenRecord{"keyAsText", QStringLiteral("key"), QStringLiteral("42")},
        BrokenRecord{"notAnId", QStringLiteral("id"), QStringLiteral("not-a-uuid")},
        BrokenRecord{"notAUrl", QStringLiteral("masterUrl"), QStringLiteral("https://exa mple/x")},
        BrokenRecord{"emptyUrl", QStringLiteral("imageUrl"), QStringLiteral("")}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(WallpaperModelTest, IdentityIsTheIdAlone)
{
    WallpaperModel a = fullRecord();
    WallpaperModel renamed = a;
    renamed.title = QStringLiteral("Other");
    renamed.key = 7;
    EXPECT_EQ(a, renamed);
    EXPECT_EQ(qHash(a, 11), qHash(renamed, 11));
    EXPECT_EQ(QSet<WallpaperModel>({a, renamed}).size(), 1);

    WallpaperModel sameKey = a;
    sameKey.id = QUuid::createUuid();
    EXPECT_NE(a, sameKey);
}
