#include "model/WallpaperAssets.h"

#include <gtest/gtest.h>

namespace {

struct Address {
    const char* name;
    std::optional<QString> host;
    std::optional<QString> expected;
};

class WallpaperAssetsUrlTest : public ::testing::TestWithParam<Address> {};

TEST_P(WallpaperAssetsUrlTest, NamesAnAddressOnlyOnAHost)
{
    const Address& row = GetParam();
    const std::optional<QUrl> url = WallpaperAssets::url(row.host, 42, WallpaperAssets::File::Poster);
    EXPECT_EQ(url ? std::optional<QString>(url->toString()) : std::nullopt, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Hosts, WallpaperAssetsUrlTest,
    ::testing::Values(Address{"Host", QStringLiteral("assets.test"), QStringLiteral("https://assets.test/wallpaper/42/poster.webp")},
        Address{"HostAndPort", QStringLiteral("127.0.0.1:8443"), QStringLiteral("https://127.0.0.1:8443/wallpaper/42/poster.webp")},
        // Never "https:///wallpaper/42/poster.webp", an address without a server.
        Address{"Empty", QStringLiteral(""), std::nullopt}, Address{"Absent", std::nullopt, std::nullopt},
        Address{"NotAHost", QStringLiteral("a b"), std::nullopt}),
    [](const ::testing::TestParamInfo<Address>& row) { return std::string(row.param.name); });

} // namespace
