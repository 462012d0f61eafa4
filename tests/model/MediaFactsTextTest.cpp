#include "model/MediaFactsText.h"

#include <gtest/gtest.h>

namespace {

TEST(MediaFactsText, ResolutionsFromAnyWritingComeOutOneWay)
{
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"3840x2160", QStringLiteral("3840×2160")},
        {"3840 X 2160", QStringLiteral("3840×2160")},
        {"1920×1080", QStringLiteral("1920×1080")},
        {" 1280*720 ", QStringLiteral("1280×720")},
        {"2160p", std::nullopt},
        {"4K", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [written, expected] : cases)
        EXPECT_EQ(MediaFactsText::resolution(QString::fromUtf8(written)), expected) << written;
    EXPECT_EQ(MediaFactsText::resolution(1920, 1080), QStringLiteral("1920×1080"));
}

TEST(MediaFactsText, SizesFromAnyWritingComeOutInWholeMegabytes)
{
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"18.4 MB", QStringLiteral("18MB")},
        {"54MB", QStringLiteral("54MB")},
        {"1.5 GB", QStringLiteral("1536MB")},
        {"2048 KB", QStringLiteral("2MB")},
        {"18,6 mb", QStringLiteral("19MB")},
        {"54", QStringLiteral("54MB")},
        {"big", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [written, expected] : cases)
        EXPECT_EQ(MediaFactsText::megabytes(QString::fromUtf8(written)), expected) << written;
}

} // namespace
