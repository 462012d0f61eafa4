#include "ManualClock.h"
#include "SignalryFixture.h"
#include "TimeZoneOverride.h"

#include "signalry/DefaultSignalPayload.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/SessionManager.h"
#include "signalry/SystemFacts.h"

using namespace signalry;

namespace {

class DefaultSignalPayloadTest : public SignalryFixture {
protected:
    DefaultSignalPayloadTest() { installRecording(); }

    DefaultsSuite& suite() { return *SignalryManager::analyticsDefaultsSuite(); }
    Parameters retention(const SessionManager& sessions, const QDateTime& now)
    {
        return DefaultSignalPayload::retentionParameters(&suite(), sessions, now);
    }
    static SessionManager sessionsOf(const std::shared_ptr<DefaultsSuite>& suite)
    {
        return SessionManager([suite] { return suite; });
    }
};

TEST_F(DefaultSignalPayloadTest, TimeZoneTextGivesHoursAndOnlyNonZeroMinutes)
{
    const QList<std::pair<int, QString>> cases{{7200, QStringLiteral("UTC+2")},       {-12600, QStringLiteral("UTC-3:30")},
                                               {20700, QStringLiteral("UTC+5:45")},   {0, QStringLiteral("UTC+0")},
                                               {-1800, QStringLiteral("UTC-0:30")},   {50400, QStringLiteral("UTC+14")}};
    for (const auto& [offset, text] : cases)
        EXPECT_EQ(DefaultSignalPayload::timeZoneText(offset), text) << offset;
}

TEST_F(DefaultSignalPayloadTest, CalendarCountsWeekdaysFromMonday)
{
    struct Case {
        QDate date;
        const char* dayOfWeek;
        const char* weekend;
    };
    for (const Case& c : {Case{QDate(2025, 3, 1), "6", "true"}, Case{QDate(2025, 3, 2), "7", "true"}, Case{QDate(2025, 3, 3), "1", "false"}}) {
        const Parameters calendar = DefaultSignalPayload::calendarParameters(QDateTime(c.date, QTime(21, 5)));
        EXPECT_EQ(calendar.value(QStringLiteral("Signalry.Calendar.dayOfWeek")), QLatin1String(c.dayOfWeek));
        EXPECT_EQ(calendar.value(QStringLiteral("Signalry.Calendar.isWeekend")), QLatin1String(c.weekend));
        EXPECT_EQ(calendar.value(QStringLiteral("Signalry.Calendar.hourOfDay")), QStringLiteral("21"));
        EXPECT_EQ(calendar.value(QStringLiteral("Signalry.Calendar.quarterOfYear")), QStringLiteral("1"));
    }
}

TEST_F(DefaultSignalPayloadTest, WithoutAStoreReceiptNeitherStoreFlagIsTrue)
{
    const auto none = DefaultSignalPayload::storeFlags(std::nullopt);
    EXPECT_FALSE(none.isAppStore);
    EXPECT_FALSE(none.isTestFlight);
    EXPECT_TRUE(DefaultSignalPayload::storeFlags(QStringLiteral("/app/receipt/sandboxReceipt")).isTestFlight);
    EXPECT_TRUE(DefaultSignalPayload::storeFlags(QStringLiteral("/app/receipt/receipt")).isAppStore);

    const Parameters payload = DefaultSignalPayload::parameters();
    for (const char* key : {"isAppStore", "isTestFlight", "Signalry.RunContext.isAppStore", "Signalry.RunContext.isTestFlight"})
        EXPECT_EQ(payload.value(QLatin1String(key)), QStringLiteral("false")) << key;
}

TEST_F(DefaultSignalPayloadTest, SystemFactsFallBackWhenSourcesAreMissing)
{
    const auto release = SystemFacts::parseOsRelease("# comment\nNAME=\"Debian GNU/Linux\"\nVERSION_ID='12'\nID=debian\n");
    EXPECT_EQ(release.name, QStringLiteral("Debian GNU/Linux"));
    EXPECT_EQ(release.versionId, QStringLiteral("12"));
    EXPECT_EQ(SystemFacts::preferredLanguageOf({}), QStringLiteral("zz"));
    EXPECT_EQ(SystemFacts::preferredLanguageOf({QStringLiteral("pt-BR"), QStringLiteral("en")}), QStringLiteral("pt"));

    SystemFacts facts;
    facts.systemName = QStringLiteral("Debian GNU/Linux");
    facts.majorVersion = QStringLiteral("12");
    facts.minorVersion = facts.patchVersion = facts.buildNumber = QStringLiteral("0");
    facts.appVersion = QStringLiteral("1.4");
    const Parameters base = DefaultSignalPayload::baseParameters(facts, std::nullopt);
    EXPECT_EQ(base.value(QStringLiteral("Signalry.AppInfo.versionAndBuildNumber")), QStringLiteral("1.4 (build 0)"));
    EXPECT_EQ(base.value(QStringLiteral("systemVersion")), QStringLiteral("Debian GNU/Linux 12.0.0"));
    EXPECT_EQ(base.value(QStringLiteral("majorMinorSystemVersion")), QStringLiteral("Debian GNU/Linux 12.0"));
}

TEST_F(DefaultSignalPayloadTest, FullPayloadHasEveryGroupOnLinux)
{
    const Parameters payload = DefaultSignalPayload::parameters();
    EXPECT_EQ(payload.value(QStringLiteral("Signalry.SDK.nameAndVersion")), QStringLiteral("SwiftSDK 2.11.0"));
    EXPECT_NE(payload.value(QStringLiteral("Signalry.Device.screenScaleFactor")), QString());
    EXPECT_TRUE(payload.value(QStringLiteral("Signalry.Device.screenResolutionWidth")).endsWith(QStringLiteral(".0")));
    // No accessibility domain and no extension here: those groups add nothing.
    EXPECT_FALSE(payload.contains(QStringLiteral("Signalry.Accessibility.isReduceMotionEnabled")));
    EXPECT_FALSE(payload.contains(QStringLiteral("Signalry.RunContext.extensionIdentifier")));
    EXPECT_EQ(payload.size(), 42 + 3 + 2 + 1 + 8 + 5);
}

TEST_F(DefaultSignalPayloadTest, LastMonthIsCutInTheTimeZoneOfTheStoredDays)
{
    // Noon in GMT is already the next day at UTC+14: the stored days are local days, so the
    // cutoff must be one too.
    const TimeZoneOverride zone("Pacific/Kiritimati");
    const QDateTime now(QDate(2025, 3, 31), QTime(12, 0), Qt::UTC);
    ManualClock clock(now);
    const Clock::Override useClock(clock);
    EXPECT_EQ(SessionManager::calendarDay(now), QStringLiteral("2025-04-01"));
    EXPECT_EQ(DefaultSignalPayload::lastMonthCutoffDay(now), QStringLiteral("2025-03-02"));

    suite().setStringList(QStringLiteral("distinctDaysUsed"),
                          {QStringLiteral("2025-03-01"), QStringLiteral("2025-03-02"), QStringLiteral("2025-04-01")});
    const Parameters figures = retention(sessionsOf(SignalryManager::analyticsDefaultsSuite()), now);
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Retention.distinctDaysUsed")), QStringLiteral("3"));
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Retention.distinctDaysUsedLastMonth")), QStringLiteral("2"));
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Acquisition.firstSessionDate")), QStringLiteral("2025-04-01"));
}

TEST_F(DefaultSignalPayloadTest, RetentionFiguresFollowTheStoredSessions)
{
    const QDateTime now = Clock::current().now();
    EXPECT_FALSE(retention(sessionsOf(SignalryManager::analyticsDefaultsSuite()), now)
                     .contains(QStringLiteral("Signalry.Retention.previousSessionSeconds")));

    const QList<StoredSession> stored{{now.addSecs(-300), 10}, {now.addSecs(-200), 20}, {now.addSecs(-100), 5}};
    suite().setData(QStringLiteral("recentSessions"), StoredSession::encodeList(stored));
    suite().setInteger(QStringLiteral("deletedSessionsCount"), 4);
    suite().setString(QStringLiteral("firstSessionDate"), QStringLiteral("2024-01-05"));
    const Parameters figures = retention(sessionsOf(SignalryManager::analyticsDefaultsSuite()), now);
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Retention.averageSessionSeconds")), QStringLiteral("15"));
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Retention.previousSessionSeconds")), QStringLiteral("20"));
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Retention.totalSessionsCount")), QStringLiteral("7"));
    EXPECT_EQ(figures.value(QStringLiteral("Signalry.Acquisition.firstSessionDate")), QStringLiteral("2024-01-05"));
}

} // namespace
