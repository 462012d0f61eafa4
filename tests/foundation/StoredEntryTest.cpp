#include "foundation/StoredEntry.h"

#include "foundation/JsonWriter.h"

#include <gtest/gtest.h>

namespace {

// Bytes of every value, `size` of them.
QByteArray varied(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i * 7 % 251);
    return bytes;
}

// Data is written as the JSON writer writes any entry, so earlier files and later ones read alike.
TEST(StoredEntryTest, DataIsWrittenAsAnyJsonEntry)
{
    const QByteArray values[] = {QByteArray(), QByteArray("A"), QByteArray("\xff\xfe\xfd\x00\x3e\x3f", 6),
                                 QByteArray(100'000, '\xfb'), varied(3 << 20), varied((6 << 20) + 1)};
    for (const QByteArray& value : values) {
        SCOPED_TRACE(value.left(8).toHex().toStdString());
        const QByteArray viaJson = JsonWriter::toBytes(
            QJsonObject{{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("value"), QString::fromLatin1(value.toBase64())}},
            true);
        EXPECT_EQ(StoredEntry::encode(value), viaJson);
        QString error;
        const std::optional<StoredEntry::Value> back = StoredEntry::decode(StoredEntry::encode(value), QStringLiteral("k"), &error);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(std::get<QByteArray>(*back), value);
    }
}

// A data entry in any other form than the one written, or whose text is not whole Base64, reads
// as JSON reads it: the same data, or the same refusal.
TEST(StoredEntryTest, DataInAnyFormReadsAsJsonReadsIt)
{
    const struct {
        const char* name;
        const char* entry;
        std::optional<QByteArray> expected;
    } cases[] = {
        {"as written", R"({"type":"data","value":"QUJD"})", QByteArray("ABC")},
        {"empty", R"({"type":"data","value":""})", QByteArray()},
        {"an escaped character", R"({"type":"data","value":"\u0051UJD"})", QByteArray("ABC")},
        {"an escaped slash", R"({"type":"data","value":"\/w=="})", QByteArray("\xff")},
        {"spaces between the fields", R"({ "type": "data", "value": "QUJD" })", QByteArray("ABC")},
        {"the value first", R"({"value":"QUJD","type":"data"})", QByteArray("ABC")},
        {"no padding", R"({"type":"data","value":"QUI"})", std::nullopt},
        {"a space in the text", R"({"type":"data","value":"QU JD"})", std::nullopt},
        {"a quote in the text", R"({"type":"data","value":"QU\"JDQUJD"})", std::nullopt},
        {"padding inside", R"({"type":"data","value":"QU==QUJD"})", std::nullopt},
        {"a character beyond Latin-1", "{\"type\":\"data\",\"value\":\"QU\xe2\x82\xac\"}", std::nullopt},
        {"cut short", R"({"type":"data","value":"QUJD")", std::nullopt},
        {"text after the entry", R"({"type":"data","value":"QUJD"}x")", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const std::optional<StoredEntry::Value> value = StoredEntry::decode(QByteArray(c.entry), QStringLiteral("k"), &error);
        if (!c.expected) {
            EXPECT_FALSE(value);
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        ASSERT_TRUE(value) << error.toStdString();
        ASSERT_TRUE(std::holds_alternative<QByteArray>(*value));
        EXPECT_EQ(std::get<QByteArray>(*value), *c.expected);
    }
    // Text long enough to be read in parts: a part's padding or a space anywhere is the whole's.
    const QByteArray longText = varied(9 << 20).toBase64();
    const struct {
        const char* name;
        qsizetype at;
        QByteArray put;
        bool reads;
    } longCases[] = {
        {"as written", 0, {}, true},
        {"padding ending the first part", (4 << 20) - 2, "==", false},
        {"padding inside the last part", longText.size() - 8, "=", false},
        {"three padding characters", longText.size() - 3, "===", false},
        {"a space in the last part", longText.size() - 3, " ", false},
        {"a quote in the middle", 6 << 20, "\"", false},
    };
    for (const auto& c : longCases) {
        SCOPED_TRACE(c.name);
        QByteArray text = longText;
        text.replace(c.at, c.put.size(), c.put);
        QString error;
        const std::optional<StoredEntry::Value> value = StoredEntry::decode(R"({"type":"data","value":")" + text + R"("})", QStringLiteral("k"), &error);
        ASSERT_EQ(value.has_value(), c.reads) << error.toStdString();
        if (c.reads) {
            EXPECT_EQ(std::get<QByteArray>(*value), varied(9 << 20));
        }
        // The JSON reader, which a space between the fields sends it to, reads it alike.
        const std::optional<StoredEntry::Value> viaJson =
            StoredEntry::decode(R"({"type": "data", "value": ")" + text + R"("})", QStringLiteral("k"), &error);
        EXPECT_EQ(viaJson.has_value(), c.reads);
    }
}

} // namespace
