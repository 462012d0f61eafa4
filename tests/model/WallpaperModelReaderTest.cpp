#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "model/WallpaperModelReader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The fields of a stored record as this program writes them, in its order.
const QList<std::pair<QByteArray, QByteArray>> kStored = {
    {"id", R"("6F1C2A40-8D1E-4C3B-9A57-0E2D4F6A8B10")"},
    {"key", "1718000000042"},
    {"title", R"("Harbor Lights")"},
    {"category", R"("City")"},
    {"imageUrl", R"("https://assets.example/wallpaper/42/thumbnail.webp")"},
    {"posterUrl", R"("https://assets.example/wallpaper/42/poster.webp")"},
    {"videoUrl", R"("https://assets.example/wallpaper/42/preview.mp4")"},
    {"previewhdUrl", R"("https://assets.example/wallpaper/42/preview_hd.mp4")"},
    {"masterUrl", R"("https://assets.example/wallpaper/42/master.mp4")"},
    {"likes", "12"},
    {"downloads", "-3"},
    {"createdAt", R"("2025-06-08T03:11:17.012345+00:00")"},
    {"resolution", R"("3840x2160")"},
    {"fileSize", R"("50MB")"},
    {"duration", R"("00:12")"},
    {"is_4k", "true"},
    {"is_from_gravel_nook", "false"},
    {"for_lockscreen", "true"},
};

// A stored record with some fields given other raw JSON values (added when they are not there,
// left out for nullptr), its fields in reverse order if asked.
QByteArray record(std::initializer_list<std::pair<const char*, const char*>> changes = {}, bool reversed = false)
{
    QList<std::pair<QByteArray, QByteArray>> fields;
    for (const auto& [name, stored] : kStored) {
        const auto change = std::find_if(changes.begin(), changes.end(), [&name](const auto& c) { return name == c.first; });
        if (change == changes.end())
            fields.append({name, stored});
        else if (change->second)
            fields.append({name, change->second});
    }
    for (const auto& [name, value] : changes)
        if (std::none_of(kStored.cbegin(), kStored.cend(), [name](const auto& stored) { return stored.first == name; }))
            fields.append({QByteArray(name), QByteArray(value)});
    if (reversed)
        std::reverse(fields.begin(), fields.end());
    QByteArray text("{");
    for (const auto& [name, value] : fields)
        text += (text.size() > 1 ? ",\"" : "\"") + name + "\":" + value;
    return text + '}';
}

QByteArray withAddress(const char* address) { return record({{"masterUrl", QByteArray('"' + QByteArray(address) + '"').constData()}}); }

// What the full decoder makes of a record's text; nothing where it refuses it.
std::optional<WallpaperModel> parsed(const QByteArray& text)
{
    QJsonParseError fault;
    const QJsonDocument document = QJsonDocument::fromJson(text, &fault);
    if (fault.error != QJsonParseError::NoError)
        return std::nullopt;
    try {
        return WallpaperModel::fromJson(JsonReader(document.object()));
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

struct Case {
    const char* name;
    QByteArray text;
    // Read here rather than left to the full decoder.
    bool taken;
};

void PrintTo(const Case& test, std::ostream* out) { *out << test.text.constData(); }

class WallpaperModelReaderTest : public ::testing::TestWithParam<Case> {};

// Whatever the reader takes is the record the full decoder makes, to the byte of every
// address; what the full decoder refuses the reader never takes.
TEST_P(WallpaperModelReaderTest, AgreesWithTheFullDecoder)
{
    const std::optional<WallpaperModel> full = parsed(GetParam().text);
    const std::optional<WallpaperModel> read = WallpaperModelReader().read(GetParam().text);
    ASSERT_EQ(read.has_value(), GetParam().taken);
    if (!read)
        return;
    ASSERT_TRUE(full);
    EXPECT_EQ(read->id, full->id);
    EXPECT_EQ(JsonWriter::toBytes(read->toJson()), JsonWriter::toBytes(full->toJson()));
    // A long list holds five addresses per record: they hold their texts and nothing beside
    // them, most in one buffer they share.
    QSet<const void*> buffers;
    qsizetype allocated = 0;
    qsizetype texts = 0;
    for (const std::optional<WebAddress>* address :
        {&read->imageUrl, &read->posterUrl, &read->videoUrl, &read->previewhdUrl, &read->masterUrl}) {
        if (!*address)
            continue;
        QByteArray encoded = (*address)->encoded();
        texts += encoded.size() + 1;
        const void* buffer = encoded.data_ptr().d_ptr();
        if (!buffers.contains(buffer)) {
            buffers.insert(buffer);
            allocated += encoded.capacity() + 1;
        }
        EXPECT_EQ(encoded.constData()[encoded.size()], '\0');
    }
    EXPECT_EQ(allocated, texts);
}

INSTANTIATE_TEST_SUITE_P(Records, WallpaperModelReaderTest,
    ::testing::Values(Case{"asWritten", record(), true},
        Case{"spaced", record().replace(",\"", " ,\n\t\"").replace("\":", "\" : ").replace("{", "{ ").replace("}", " }"), true},
        Case{"reordered", record({}, true), true},
        Case{"unicodeTitle", record({{"title", "\"Caf\xc3\xa9 \xe2\x98\x95 \xf0\x9f\x8c\x8a\""}}), true},
        Case{"unicodeResolution", record({{"resolution", "\"3840\xc3\x97" "2160\""}}), true},
        Case{"negativeZero", record({{"likes", "-0"}}), true},
        Case{"emptyTexts", record({{"title", "\"\""}, {"category", "\"\""}}), true},
        Case{"noOptionals", record({{"key", nullptr}, {"imageUrl", nullptr}, {"posterUrl", nullptr}, {"videoUrl", nullptr},
                                 {"previewhdUrl", nullptr}, {"masterUrl", nullptr}, {"resolution", nullptr},
                                 {"fileSize", nullptr}, {"duration", nullptr}, {"is_4k", nullptr},
                                 {"is_from_gravel_nook", nullptr}, {"for_lockscreen", nullptr}}), true},
        Case{"longestIntegerTaken", record({{"key", "999999999999999"}}), true},
        Case{"lowerCaseId", record({{"id", "\"6f1c2a40-8d1e-4c3b-9a57-0e2d4f6a8b10\""}}), true},
        Case{"escapedTitle", record({{"title", R"("Say \"hi\"")"}}), false},
        Case{"nullOptional", record({{"resolution", "null"}}), false},
        Case{"nullRequired", record({{"title", "null"}}), false},
        Case{"keyBeyondADouble", record({{"key", "9007199254740993"}}), false},
        Case{"keyBeyondEveryInteger", record({{"key", "99999999999999999999999999999999999999"}}), false},
        Case{"likesBeyondEveryInteger", record({{"likes", "-99999999999999999999999999999999999999"}}), false},
        Case{"integralFraction", record({{"likes", "1.0"}}), false},
        Case{"exponent", record({{"likes", "1e3"}}), false},
        Case{"fraction", record({{"downloads", "1.5"}}), false},
        Case{"leadingZero", record({{"likes", "012"}}), false},
        Case{"numberAsText", record({{"likes", "\"12\""}}), false},
        Case{"flagAsNumber", record({{"is_4k", "1"}}), false},
        Case{"unknownKey", record({{"unknownKey", "\"dropped\""}}), false},
        Case{"repeatedKey", record() .replace("}", ",\"title\":\"Again\"}"), false},
        Case{"noCreatedAt", record({{"createdAt", nullptr}}), false},
        Case{"notUtf8", record({{"title", "\"Caf\xe9\""}}), false},
        Case{"bracedId", record({{"id", "\"{6F1C2A40-8D1E-4C3B-9A57-0E2D4F6A8B10}\""}}), false},
        Case{"notAnId", record({{"id", "\"not-a-uuid\""}}), false},
        Case{"cut", record().chopped(3), false},
        Case{"trailingText", record() + "x", false},
        Case{"emptyAddress", withAddress(""), false},
        Case{"spaceInAddress", withAddress("https://exa mple/x"), false},
        // Addresses: read as they are when a QUrl would write them back unchanged, else through one.
        Case{"plainAddress", withAddress("https://cdn-1.assets.example/a_b/c~d/e.f-g.mp4"), true},
        Case{"plainQuery", withAddress("https://assets.example/m.mp4?token=abc-1&exp=99"), true},
        Case{"noPath", withAddress("http://assets.example"), true},
        Case{"upperCaseHost", withAddress("https://Assets.Example/m.mp4"), true},
        Case{"upperCaseScheme", withAddress("HTTPS://assets.example/m.mp4"), true},
        Case{"escapes", withAddress("https://assets.example/a%20b/%7Euser/%41.mp4?sig=a%2Bb"), true},
        Case{"subDelimiters", withAddress("https://assets.example/a!$&'()*+,;=:@b.mp4?q=a+b&c=(d)"), true},
        Case{"port", withAddress("https://assets.example:0443/m.mp4"), true},
        Case{"shortIpAddress", withAddress("http://127.1/m.mp4"), true},
        Case{"hexIpAddress", withAddress("http://0x7f.0.0.1/m.mp4"), true},
        Case{"aceHost", withAddress("https://xn--mnchen-3ya.example/m.mp4"), true},
        Case{"dotSegments", withAddress("https://assets.example/a/./b/../m.mp4"), true},
        Case{"lastDotSegment", withAddress("https://assets.example/a/.."), true},
        Case{"trailingDotHost", withAddress("https://assets.example./m.mp4"), true},
        Case{"fragment", withAddress("https://assets.example/m.mp4#t=3"), true},
        Case{"unicodePath", withAddress("https://assets.example/m\xc3\xbcnchen.mp4"), true},
        Case{"otherScheme", withAddress("file:///home/me/My%20Video.mp4"), true}),
    [](const auto& test) { return std::string(test.param.name); });

// A long list repeats a few display texts: each is held once, whatever the number of records,
// while the texts of each record stay its own.
TEST(WallpaperModelReaderTest, RecordsShareTheirRepeatedDisplayTexts)
{
    WallpaperModelReader reader;
    const std::optional<WallpaperModel> first = reader.read(record());
    const std::optional<WallpaperModel> second = reader.read(record({{"title", "\"Harbor Lights\""}}));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->category.constData(), first->category.constData());
    for (const auto text : {&WallpaperModel::resolution, &WallpaperModel::fileSize, &WallpaperModel::duration})
        EXPECT_EQ(((*second).*text)->constData(), ((*first).*text)->constData());
    EXPECT_NE(second->title.constData(), first->title.constData());
    EXPECT_NE(second->createdAt.constData(), first->createdAt.constData());

    // Past the texts a reader keeps, a distinct one is still read whole.
    for (int n = 0; n < 300; ++n) {
        const QByteArray category = "\"Category " + QByteArray::number(n) + '"';
        const std::optional<WallpaperModel> read = reader.read(record({{"category", category.constData()}}));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->category, QStringLiteral("Category %1").arg(n));
    }
}

// A record's plain addresses are parts of one buffer; each still behaves as a text of its own:
// a change made to one is made on a copy, and one outlives the others.
TEST(WallpaperModelReaderTest, AddressesShareOneBufferAndStayApart)
{
    std::optional<WallpaperModel> read = WallpaperModelReader().read(record());
    ASSERT_TRUE(read);
    QByteArray image = read->imageUrl->encoded();
    QByteArray master = read->masterUrl->encoded();
    EXPECT_EQ(image.data_ptr().d_ptr(), master.data_ptr().d_ptr());

    image.append("?changed");
    EXPECT_EQ(read->imageUrl->encoded(), "https://assets.example/wallpaper/42/thumbnail.webp");
    EXPECT_EQ(read->posterUrl->encoded(), "https://assets.example/wallpaper/42/poster.webp");
    EXPECT_EQ(image, "https://assets.example/wallpaper/42/thumbnail.webp?changed");

    const WebAddress kept = *read->videoUrl;
    read.reset();
    master = {};
    EXPECT_EQ(kept.url(), QUrl(QStringLiteral("https://assets.example/wallpaper/42/preview.mp4")));
}

} // namespace
