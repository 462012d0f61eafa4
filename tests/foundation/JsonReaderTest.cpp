#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A small record shaped like the application's, to drive the record helpers.
struct Item {
    qint64 key = 0;
    QString title;
    bool flag = false;
    std::optional<QUrl> link;

    static Item fromJson(const JsonReader& reader)
    {
        return Item{reader.requiredInt64("key"), reader.requiredString("title"), reader.boolOr("flag", false),
                    reader.optionalUrl("link")};
    }
    QJsonObject toJson() const
    {
        QJsonObject object{{QStringLiteral("key"), JsonWriter::encode(key)},
                           {QStringLiteral("title"), JsonWriter::encode(title)},
                           {QStringLiteral("flag"), JsonWriter::encode(flag)}};
        JsonWriter::insertIfPresent(object, QStringLiteral("link"), link);
        return object;
    }
};

JsonReader parse(const char* json) { return JsonReader::parse(QByteArray(json)); }

// The description of the JsonError that `read` throws, or "no error" (as std::string, which
// GoogleTest prints readably).
template <typename Fn>
std::string errorOf(Fn&& read)
{
    try {
        read();
    } catch (const JsonError& error) {
        return error.localizedDescription().toStdString();
    }
    return "no error";
}

TEST(JsonReaderTest, IntegersAtTheEdgesOfSixtyFourBitsRoundTripExactly)
{
    for (const qint64 value : {(qint64(1) << 53) + 1, std::numeric_limits<qint64>::min(),
                               std::numeric_limits<qint64>::max(), qint64(0), qint64(-1)}) {
        const QByteArray text = JsonWriter::toBytes(QJsonObject{{QStringLiteral("v"), JsonWriter::encode(value)}});
        EXPECT_EQ(text, "{\"v\":" + QByteArray::number(value) + "}");
        EXPECT_EQ(JsonReader::parse(text).requiredInt64("v"), value);
    }
}

TEST(JsonReaderTest, IntegersAreNeverRoundedOrConverted)
{
    struct Case {
        const char* json;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"v": 1.0})", "no error"},
        {R"({"v": 1e3})", "no error"},
        {R"({"v": 1.5})", "v: expected an integer, found 1.5"},
        {R"({"v": 9223372036854775808})", "v: the number 9223372036854776000 cannot be read exactly as a 64-bit integer"},
        {R"({"v": -1e19})", "v: the number -1e+19 cannot be read exactly as a 64-bit integer"},
        {R"({"v": "5"})", "v: expected an integer, found a string"},
        {R"({"v": true})", "v: expected an integer, found a boolean"},
        {R"({"v": null})", "v: expected an integer, found null"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf([&] { parse(c.json).requiredInt64("v"); }), c.expected) << c.json;
    EXPECT_EQ(parse(R"({"v": 1e3})").requiredInt64("v"), 1000);
}

TEST(JsonReaderTest, BooleansMustBeJsonBooleans)
{
    const JsonReader reader = parse(R"({"yes": true, "one": 1, "text": "true", "nothing": null})");
    EXPECT_TRUE(reader.requiredBool("yes"));
    EXPECT_EQ(errorOf([&] { reader.requiredBool("one"); }), "one: expected a boolean, found a number");
    EXPECT_EQ(errorOf([&] { reader.boolOr("text", false); }), "text: expected a boolean, found a string");
    EXPECT_TRUE(reader.boolOr("missing", true));
    EXPECT_FALSE(reader.boolOr("nothing", false));
}

TEST(JsonReaderTest, NullAndMissingAreTellApartForRequiredAndOptionalKeys)
{
    const JsonReader data = parse(R"({"data": {"resolution": null, "count": 3}})").field("data");
    EXPECT_EQ(errorOf([&] { data.requiredString("title"); }), "data.title: required key is missing");
    EXPECT_EQ(errorOf([&] { data.requiredString("resolution"); }), "data.resolution: expected a string, found null");
    EXPECT_EQ(errorOf([&] { data.field("resolution"); }), "data.resolution: expected a value, found null");
    EXPECT_EQ(data.optionalString("resolution"), std::nullopt);
    EXPECT_EQ(data.optionalString("title"), std::nullopt);
    EXPECT_EQ(errorOf([&] { data.optionalString("count"); }), "data.count: expected a string, found a number");
    EXPECT_TRUE(data.has("resolution"));
    EXPECT_FALSE(data.has("title"));
    EXPECT_EQ(data.keys(), (QStringList{QStringLiteral("count"), QStringLiteral("resolution")}));
    EXPECT_EQ(errorOf([&] { data.field("count").has("x"); }), "data.count: expected an object, found a number");
}

TEST(JsonReaderTest, InvalidTextIsReportedWithItsOffset)
{
    EXPECT_EQ(errorOf([] { parse(R"({"a": 1, "b" 2})"); }), "invalid JSON at offset 14: missing name separator");
    EXPECT_EQ(errorOf([] { parse("[1] x"); }), "invalid JSON at offset 4: garbage at the end of the document");
    EXPECT_EQ(errorOf([] { parse(" \n"); }), "invalid JSON: the text is empty");
    EXPECT_EQ(errorOf([] { parse("tru"); }), "invalid JSON at offset 1: illegal value");
    EXPECT_EQ(errorOf([] { parse("[\"caf\xc3\"]"); }), "invalid JSON at offset 5: invalid UTF8 string");
}

TEST(JsonReaderTest, BareValuesAtTheTopAreDocuments)
{
    EXPECT_EQ(parse(R"( "ocean" )").string(), "ocean");
    EXPECT_EQ(parse("9007199254740993").int64(), (qint64(1) << 53) + 1);
    EXPECT_TRUE(parse("null").isNull());
    EXPECT_EQ(JsonWriter::toBytes(QJsonValue(QStringLiteral("ocean"))), "\"ocean\"");
}

TEST(JsonReaderTest, UuidsReadInEitherCaseAndAreWrittenUpperCase)
{
    const QUuid expected = QUuid::fromString(QStringLiteral("427FE53B-6C61-4659-984C-95DD578BA516"));
    const JsonReader reader = parse(R"({"upper": "427FE53B-6C61-4659-984C-95DD578BA516",
        "lower": "427fe53b-6c61-4659-984c-95dd578ba516", "braced": "{427FE53B-6C61-4659-984C-95DD578BA516}",
        "short": "427FE53B", "number": 4})");
    EXPECT_EQ(reader.requiredUuid("upper"), expected);
    EXPECT_EQ(reader.requiredUuid("lower"), expected);
    EXPECT_EQ(errorOf([&] { reader.requiredUuid("braced"); }),
              "braced: \"{427FE53B-6C61-4659-984C-95DD578BA516}\" is not a valid UUID");
    EXPECT_EQ(errorOf([&] { reader.requiredUuid("short"); }), "short: \"427FE53B\" is not a valid UUID");
    EXPECT_EQ(errorOf([&] { reader.requiredUuid("number"); }), "number: expected a UUID string, found a number");
    EXPECT_EQ(JsonWriter::encode(expected).toString(), "427FE53B-6C61-4659-984C-95DD578BA516");
    EXPECT_TRUE(parse(R"({"nil": "00000000-0000-0000-0000-000000000000"})").requiredUuid("nil").isNull());
}

TEST(JsonReaderTest, UrlsAreParsedStrictly)
{
    const JsonReader reader = parse(R"({"ok": "https://cdn.example/wallpaper/7/poster.webp",
        "empty": "", "spaced": "https://exa mple.com/", "encoded": "https://h/caf%C3%A9"})");
    EXPECT_EQ(reader.requiredUrl("ok"), QUrl(QStringLiteral("https://cdn.example/wallpaper/7/poster.webp")));
    EXPECT_EQ(errorOf([&] { reader.optionalUrl("empty"); }), "empty: an empty string is not a valid URL");
    EXPECT_EQ(errorOf([&] { reader.requiredUrl("spaced"); }), "spaced: \"https://exa mple.com/\" is not a valid URL");
    EXPECT_EQ(JsonWriter::encode(reader.requiredUrl("encoded")).toString(), "https://h/caf%C3%A9");
}

TEST(JsonReaderTest, DatesAreSecondsSinceTwoThousandOne)
{
    const JsonReader reader = parse(R"({"start": 0, "later": 1.5, "before": -86400, "text": "2001-01-01", "far": 1e300})");
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(reader.requiredDate("start"), reference);
    EXPECT_EQ(reader.requiredDate("start").timeSpec(), Qt::UTC);
    EXPECT_EQ(reader.requiredDate("later"), reference.addMSecs(1500));
    EXPECT_EQ(reader.requiredDate("before"), reference.addDays(-1));
    EXPECT_EQ(errorOf([&] { reader.requiredDate("text"); }), "text: expected a date (a number of seconds), found a string");
    EXPECT_EQ(errorOf([&] { reader.requiredDate("far"); }), "far: the date 1e+300 is out of range");

    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    const QJsonValue written = JsonWriter::encode(moment);
    EXPECT_DOUBLE_EQ(written.toDouble(), 721'692'800.123);
    EXPECT_EQ(JsonReader(written).date(), moment);
}

TEST(JsonReaderTest, DataIsStrictBase64)
{
    const QByteArray bytes("\x00\xff binary", 9);
    EXPECT_EQ(JsonReader(JsonWriter::encode(bytes)).data(), bytes);
    for (const char* bad : {"aGVs bG8=", "aGVsbG8", "a", "!!!!", "caf\xc3\xa9"}) {
        const JsonReader reader(QJsonValue(QString::fromUtf8(bad)), QStringLiteral("blob"));
        EXPECT_EQ(errorOf([&] { reader.data(); }), "blob: the text is not valid Base64 data") << bad;
    }
}

TEST(JsonReaderTest, ListsKeepOrderAndNameTheBadElement)
{
    const JsonReader reader = parse(R"({"keys": [3, 1, 3, 9007199254740993], "bad": [1, 2, "3"]})");
    EXPECT_EQ(reader.required<QList<qint64>>("keys"), (QList<qint64>{3, 1, 3, (qint64(1) << 53) + 1}));
    EXPECT_EQ(errorOf([&] { reader.required<QList<qint64>>("bad"); }), "bad[2]: expected an integer, found a string");
    EXPECT_EQ(errorOf([&] { reader.field("keys").at(4); }), "keys[4]: index is out of range (the array has 4 elements)");
    EXPECT_EQ(reader.field("keys").size(), 4);
}

TEST(JsonReaderTest, RecordsDecodeOneByOneAndABadOneCostsNoOther)
{
    const JsonReader items = parse(R"({"items": [
        {"key": 1, "title": "Ocean", "link": "https://h/1"},
        {"key": "2", "title": "Forest"},
        {"title": "Desert"},
        {"key": 4, "title": "City", "flag": true, "extra": [1, 2]}]})").field("items");
    const JsonRecords<Item> decoded = items.records<Item>();
    ASSERT_EQ(decoded.values.size(), 2);
    EXPECT_EQ(decoded.values[0].title, "Ocean");
    EXPECT_EQ(decoded.values[0].link, QUrl(QStringLiteral("https://h/1")));
    EXPECT_EQ(decoded.values[1].key, 4);
    EXPECT_TRUE(decoded.values[1].flag);
    ASSERT_EQ(decoded.errors.size(), 2);
    EXPECT_EQ(decoded.errors[0].localizedDescription(), "items[1].key: expected an integer, found a string");
    EXPECT_EQ(decoded.errors[1].localizedDescription(), "items[2].key: required key is missing");

    const auto titles = items.records([](const JsonReader& item) { return item.requiredString("title"); });
    EXPECT_EQ(titles.values.size(), 4);
}

TEST(JsonReaderTest, RecordsRoundTripThroughTheWriter)
{
    const QList<Item> items{{1, QStringLiteral("Ocean"), false, std::nullopt},
                            {std::numeric_limits<qint64>::max(), QStringLiteral("Ünïcode ✨"), true,
                             QUrl(QStringLiteral("https://h/x"))}};
    const QByteArray text = JsonWriter::toBytes(JsonWriter::encode(items), false);
    EXPECT_FALSE(text.contains("\"link\": null"));
    const QList<Item> back = JsonReader::parse(text).as<QList<Item>>();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[1].key, items[1].key);
    EXPECT_EQ(back[1].title, items[1].title);
    EXPECT_EQ(back[1].link, items[1].link);
    EXPECT_EQ(back[0].link, std::nullopt);
}

} // namespace
