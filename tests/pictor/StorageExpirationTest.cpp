#include "CacheTestSupport.h"

#include "pictor/cache/MemoryStorageObject.h"
#include "pictor/cache/StorageExpiration.h"

#include <gtest/gtest.h>

#include <limits>

using namespace pictor;

namespace {

const QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);

struct ExpirationCase {
    const char* name;
    StorageExpiration policy;
    bool expired;
    // Expected estimated expiry.
    QDateTime estimate;
};

class StorageExpirationCases : public ::testing::TestWithParam<ExpirationCase> {};

TEST_P(StorageExpirationCases, ExpiryAndEstimate)
{
    const ExpirationCase& c = GetParam();
    EXPECT_EQ(c.policy.isExpired(now), c.expired);
    EXPECT_EQ(c.policy.estimatedExpiration(now), c.estimate);
}

INSTANTIATE_TEST_SUITE_P(
    Policies, StorageExpirationCases,
    ::testing::Values(
        ExpirationCase {"seconds300", StorageExpiration::seconds(300), false, now.addSecs(300)},
        ExpirationCase {"secondsZero", StorageExpiration::seconds(0), true, now},
        ExpirationCase {"secondsNegative", StorageExpiration::seconds(-1), true, now.addSecs(-1)},
        ExpirationCase {"secondsNaN", StorageExpiration::seconds(std::numeric_limits<double>::quiet_NaN()), true, StorageExpiration::distantPast()},
        ExpirationCase {"secondsHuge", StorageExpiration::seconds(1e300), false, StorageExpiration::distantFuture()},
        ExpirationCase {"daysOne", StorageExpiration::days(1), false, now.addSecs(86400)},
        ExpirationCase {"daysZero", StorageExpiration::days(0), true, now},
        ExpirationCase {"daysOverflowMeansNever", StorageExpiration::days(std::numeric_limits<int64_t>::max() / 1000), false, StorageExpiration::distantFuture()},
        ExpirationCase {"daysNegativeOverflow", StorageExpiration::days(std::numeric_limits<int64_t>::min()), true, StorageExpiration::distantPast()},
        ExpirationCase {"dateNow", StorageExpiration::date(now), true, now},
        ExpirationCase {"dateFuture", StorageExpiration::date(now.addSecs(5)), false, now.addSecs(5)},
        ExpirationCase {"never", StorageExpiration::never(), false, StorageExpiration::distantFuture()},
        ExpirationCase {"expired", StorageExpiration::expired(), true, StorageExpiration::distantPast()}),
    [](const auto& row) { return std::string(row.param.name); });

struct ExtendCase {
    const char* name;
    StorageExpiration stored;
    // Reads at these offsets from the store, with these extensions.
    std::vector<std::pair<double, ExpirationExtending>> reads;
    QDateTime expectedExpiry;
};

class StorageObjectExtending : public ::testing::TestWithParam<ExtendCase> {};

TEST_P(StorageObjectExtending, ReadsMoveTheExpiryAsAsked)
{
    const ExtendCase& c = GetParam();
    MemoryStorageObject<int> object(1, c.stored, now);
    for (const auto& [offset, extending] : c.reads)
        object.extendOnAccess(extending, now.addMSecs(int64_t(offset * 1000)));
    EXPECT_EQ(object.estimatedExpiration(), c.expectedExpiry);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, StorageObjectExtending,
    ::testing::Values(
        ExtendCase {"cacheTimeRestartsThePeriod", StorageExpiration::seconds(300), {{200, ExpirationExtending::cacheTime()}}, now.addSecs(500)},
        ExtendCase {"noneKeepsIt", StorageExpiration::seconds(300), {{200, ExpirationExtending::none()}}, now.addSecs(300)},
        ExtendCase {"otherPolicyThenOwnAgain", StorageExpiration::seconds(300),
                    {{100, ExpirationExtending::expirationTime(StorageExpiration::seconds(10))}, {105, ExpirationExtending::cacheTime()}},
                    now.addSecs(405)},
        ExtendCase {"fixedDateStays", StorageExpiration::date(now.addSecs(50)), {{10, ExpirationExtending::cacheTime()}}, now.addSecs(50)}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
