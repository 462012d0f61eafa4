#include "platform/SwayBackgroundOrder.h"

#include <gtest/gtest.h>

namespace {

// sway's background is started again with the arguments swaybg runs with: the first output's
// group, as the `output … bg …` command that sway turns into those arguments. Arguments sway
// never gives, or a quote that would end the command's word early, start nothing.
struct RestartRow {
    const char* name;
    QStringList arguments;
    std::optional<QString> command;
};

class SwayBackgroundRestartTest : public ::testing::TestWithParam<RestartRow> {};

TEST_P(SwayBackgroundRestartTest, RepeatsTheFirstOutputsBackground)
{
    const RestartRow& row = GetParam();
    EXPECT_EQ(SwayBackgroundOrder::restartCommand(row.arguments), row.command);
}

const QString kPicture = QStringLiteral("/usr/share/backgrounds/sway/Sway_Wallpaper_Blue_1920x1080.png");

INSTANTIATE_TEST_SUITE_P(Rows, SwayBackgroundRestartTest,
    ::testing::Values(
        RestartRow{"StockConfiguration", {"-o", "*", "-i", kPicture, "-m", "fill"}, "output \"*\" bg \"" + kPicture + "\" fill"},
        RestartRow{"PictureWithFallback", {"-o", "DP-1", "-i", "/home/a b/c.jpg", "-m", "fit", "-c", "#000000"},
                   QStringLiteral("output \"DP-1\" bg \"/home/a b/c.jpg\" fit #000000")},
        RestartRow{"SolidColour", {"-o", "HDMI-A-1", "-c", "#112233"}, QStringLiteral("output \"HDMI-A-1\" bg #112233 solid_color")},
        RestartRow{"FirstOfSeveralOutputs", {"-o", "DP-1", "-c", "#112233", "-o", "DP-2", "-i", kPicture, "-m", "fill"},
                   QStringLiteral("output \"DP-1\" bg #112233 solid_color")},
        RestartRow{"QuoteInThePath", {"-o", "*", "-i", "/tmp/a\"b.png", "-m", "fill"}, std::nullopt},
        RestartRow{"OptionSwayNeverGives", {"-o", "*", "--image", kPicture}, std::nullopt},
        RestartRow{"PictureWithoutMode", {"-o", "*", "-i", kPicture}, std::nullopt},
        RestartRow{"NoOutput", {"-c", "#112233"}, std::nullopt},
        RestartRow{"Nothing", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<RestartRow>& row) { return std::string(row.param.name); });

} // namespace
