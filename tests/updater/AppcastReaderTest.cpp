#include "updater/AppcastReader.h"
#include "updater/UpdateCheckService.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    const char* candidate;
    const char* current;
    bool newer;
};

class VersionRuleTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionRuleTest, ComparesPiecesByTheirLeadingDigits)
{
    const VersionCase& c = GetParam();
    EXPECT_EQ(UpdateCheckService::isNewerVersion(QString::fromUtf8(c.candidate), QString::fromUtf8(c.current)), c.newer)
        << c.candidate << " against " << c.current;
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionRuleTest,
    ::testing::Values(VersionCase{"1.10", "1.9", true}, VersionCase{"2", "1.9.9", true},
        VersionCase{"1.0", "1.0.0", false}, VersionCase{"1.2.0", "1.2", false}, VersionCase{"1.2", "1.2", false},
        VersionCase{"1.1", "1.2", false}, VersionCase{"0.0.1", "0.0.0", true},
        // A suffix after the digits keeps its piece's place and number.
        VersionCase{"1.3-beta", "1.2", true}, VersionCase{"1.2b.3", "1.2.2", true},
        // A piece without digits counts 0 and still holds its position.
        VersionCase{"1.rc1.5", "1.0.4", true}, VersionCase{"1..2", "1.0.2", false},
        // Numbers of any length, with or without leading zeros.
        VersionCase{"99999999999999999999999", "99999999999999999999998", true}, VersionCase{"1.010", "1.9", true},
        VersionCase{"1.007", "1.7", false}, VersionCase{"", "0", false}));

TEST(AppcastReaderTest, PrefersTheFirstShortVersionStringThenFallsBack)
{
    const QString both = QStringLiteral(R"(<rss><item a="1" sparkle:version="9" sparkle:shortVersionString="2.0"/>)"
                                        R"(<item sparkle:shortVersionString="1.0"/></rss>)");
    const auto fromBoth = AppcastReader::version(both);
    ASSERT_TRUE(fromBoth);
    EXPECT_EQ(fromBoth->text, u"2.0");
    EXPECT_TRUE(fromBoth->fromShortVersionString);

    const auto fallback = AppcastReader::version(QStringLiteral(R"(<rss><item sparkle:version="3.1"/></rss>)"));
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->text, u"3.1");
    EXPECT_FALSE(fallback->fromShortVersionString);
}

TEST(AppcastReaderTest, FindsNoVersionInWhatIsNoFeed)
{
    EXPECT_FALSE(AppcastReader::version(QStringLiteral("<rss><item/></rss>")));
    // An error page that mentions a version is still no feed.
    EXPECT_FALSE(AppcastReader::version(QStringLiteral(R"(<html><p>sparkle:version="9.9"<br></html>)")));
    EXPECT_FALSE(AppcastReader::version(QStringLiteral(R"({"sparkle:version="9"})")));
    EXPECT_EQ(AppcastReader::decode(QByteArray("<rss sparkle:version=\"1\xff\"/>")), QString());
}

TEST(AppcastReaderTest, ReadsTheFirstAbsoluteDownloadAddress)
{
    const auto url = AppcastReader::downloadURL(
        QStringLiteral(R"(<rss><enclosure url="https://h.example/u/Q.zip"/><enclosure url="https://h.example/other.zip"/></rss>)"));
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, QUrl(QStringLiteral("https://h.example/u/Q.zip")));
    EXPECT_FALSE(AppcastReader::downloadURL(QStringLiteral(R"(<rss><enclosure url="updates/Q.zip"/></rss>)")));
    EXPECT_FALSE(AppcastReader::downloadURL(QStringLiteral(R"(<rss><enclosure href="https://h.example/Q.zip"/></rss>)")));
}

} // namespace
