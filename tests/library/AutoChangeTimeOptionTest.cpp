#include "library/AutoChangeTimeOption.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <limits>
#include <utility>

TEST(AutoChangeTimeOptionTest, EverySecondsValueGivesTheNearestOptionTiesToTheShorter)
{
    const QList<std::pair<qint64, AutoChangeTimeOption>> cases{
        {300, AutoChangeTimeOption::fiveMinutes},
        {600, AutoChangeTimeOption::fiveMinutes}, // midway between 300 and 900
        {601, AutoChangeTimeOption::fifteenMinutes},
        {1000, AutoChangeTimeOption::fifteenMinutes},
        {2700, AutoChangeTimeOption::thirtyMinutes},
        {12600, AutoChangeTimeOption::oneHour},
        {12601, AutoChangeTimeOption::sixHours},
        {86400, AutoChangeTimeOption::daily},
        {0, AutoChangeTimeOption::fiveMinutes},
        {-5, AutoChangeTimeOption::fiveMinutes},
        {std::numeric_limits<qint64>::min(), AutoChangeTimeOption::fiveMinutes},
        {10'000'000, AutoChangeTimeOption::weekly},
        {std::numeric_limits<qint64>::max(), AutoChangeTimeOption::weekly},
    };
    for (const auto& [seconds, expected] : cases)
        EXPECT_EQ(AutoChangeTimeOption::nearest(seconds).rawValue(), expected.rawValue()) << seconds;
}

TEST(AutoChangeTimeOptionTest, RawValuesAreExactlyTheSevenInTableOrderWithTheirLabels)
{
    QStringList labels;
    for (const AutoChangeTimeOption option : AutoChangeTimeOption::allCases) {
        labels.append(option.label());
        EXPECT_EQ(AutoChangeTimeOption::fromRawValue(option.rawValue()), option);
    }
    EXPECT_EQ(labels, (QStringList{QStringLiteral("5 minutes"), QStringLiteral("15 minutes"),
                          QStringLiteral("30 minutes"), QStringLiteral("1 hour"), QStringLiteral("6 hours"),
                          QStringLiteral("Daily"), QStringLiteral("Weekly")}));
    EXPECT_FALSE(AutoChangeTimeOption::fromRawValue(600));
    EXPECT_FALSE(AutoChangeTimeOption::fromRawValue(0));
}
