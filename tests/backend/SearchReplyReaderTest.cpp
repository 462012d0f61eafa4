#include "backend/APIError.h"
#include "backend/SearchReplyReader.h"
#include "foundation/Log.h"

#include <gtest/gtest.h>

namespace {

const char* const kItem = R"({"key": 7, "downloads": 1, "likes": 2, "category_id": 3, "resolution_height": 4,
    "resolution_width": 5, "file_size": 6, "duration_seconds": 7, "created_at": "t"})";
const char* const kKeyless = R"({"downloads": 1})";

QByteArray fill(const char* pattern)
{
    return QByteArray(pattern).replace("ITEM", kItem).replace("KEYLESS", kKeyless);
}

struct SearchCase {
    const char* name;
    const char* reply; // ITEM: a valid item, KEYLESS: an item without "key"
    int count;         // -1: no shape fits
    const char* decodedLine;
};

class SearchReplyShapesTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchReplyShapesTest, TakesTheFirstShapeThatFits)
{
    const SearchCase& c = GetParam();
    LogCapture log;
    if (c.count < 0) {
        try {
            SearchReplyReader::read(fill(c.reply));
            FAIL() << "decoded";
        } catch (const APIError& error) {
            EXPECT_EQ(error.kind(), APIError::Kind::InvalidResponseFormat);
        }
        EXPECT_EQ(log.lines().last(), QStringLiteral("🔎 [SearchAPI] Decode failed — no recognized wallpapers shape"));
        return;
    }
    EXPECT_EQ(SearchReplyReader::read(fill(c.reply)).size(), c.count);
    EXPECT_EQ(log.lines().last(), QStringLiteral("🔎 [SearchAPI] ") + QString::fromUtf8(c.decodedLine) + QString::number(c.count));
}

INSTANTIATE_TEST_SUITE_P(Replies, SearchReplyShapesTest,
    ::testing::Values(SearchCase{"envelope", R"({"wallpapers": [ITEM, ITEM]})", 2, "Decoded as WallpapersResponse, count="},
        SearchCase{"bareArray", "[ITEM]", 1, "Decoded as [WallpaperResponseItem], count="},
        SearchCase{"data", R"({"data": [ITEM]})", 1, "Decoded envelope (wallpapers/data/results), count="},
        SearchCase{"results", R"({"results": [ITEM, ITEM, ITEM]})", 3, "Decoded envelope (wallpapers/data/results), count="},
        SearchCase{"nullWallpapersThenData", R"({"wallpapers": null, "data": [ITEM]})", 1,
            "Decoded envelope (wallpapers/data/results), count="},
        SearchCase{"emptyObject", "{}", 0, "Decoded envelope (wallpapers/data/results), count="},
        // An item that cannot be read is left out; the rest of its list stays.
        SearchCase{"keylessItem", R"({"wallpapers": [KEYLESS, ITEM]})", 1, "Decoded as WallpapersResponse, count="},
        SearchCase{"keylessInArray", "[ITEM, KEYLESS]", 1, "Decoded as [WallpaperResponseItem], count="},
        SearchCase{"text", R"("sunset")", -1, ""},
        SearchCase{"notJson", "<html>", -1, ""},
        SearchCase{"empty", "", -1, ""}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST(SearchReplyReaderTest, LogsTheRawReply)
{
    LogCapture log;
    SearchReplyReader::read("{}");
    EXPECT_EQ(log.lines().first(), QStringLiteral("🔎 [SearchAPI] Raw response (2 bytes): {}"));

    log.clear();
    const QByteArray longReply = R"({"x": ")" + QByteArray(1000, 'z') + R"("})";
    SearchReplyReader::read(longReply);
    EXPECT_EQ(log.lines().first(),
        QStringLiteral("🔎 [SearchAPI] Raw response (%1 bytes): ").arg(longReply.size()) + QString::fromLatin1(longReply.left(800))
            + QStringLiteral("…"));

    log.clear();
    EXPECT_THROW(SearchReplyReader::read(QByteArray("\xff\x00\x01", 3)), APIError);
    EXPECT_EQ(log.lines().first(), QStringLiteral("🔎 [SearchAPI] Raw response: 3 bytes (non-UTF8)"));
}
