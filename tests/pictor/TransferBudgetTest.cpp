#include "pictor/networking/TransferBudget.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

struct BudgetCase {
    const char* name;
    qint64 held; // by another transfer, of a limit of 100
    qint64 asked;
    bool taken;
};

class TransferBudgetTest : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(TransferBudgetTest, TakesUpToTheLimitExactly)
{
    TransferBudget& budget = TransferBudget::shared();
    const qint64 limit = budget.limit();
    const qint64 before = budget.held();
    budget.setLimit(before + 100);
    {
        TransferBudget::Share other;
        ASSERT_TRUE(other.take(GetParam().held));
        TransferBudget::Share share;
        EXPECT_EQ(share.take(GetParam().asked), GetParam().taken);
        EXPECT_EQ(share.bytes(), GetParam().taken ? GetParam().asked : 0);
        EXPECT_EQ(budget.held(), before + GetParam().held + share.bytes());
    }
    EXPECT_EQ(budget.held(), before) << "every share is given back";
    budget.setLimit(limit);
}

INSTANTIATE_TEST_SUITE_P(Edges, TransferBudgetTest,
                         ::testing::Values(BudgetCase{"ExactlyTheRest", 40, 60, true}, BudgetCase{"OneByteMore", 40, 61, false},
                                           BudgetCase{"TheWholeLimit", 0, 100, true}, BudgetCase{"PastTheWholeLimit", 0, 101, false},
                                           BudgetCase{"NothingWhenFull", 100, 0, true}, BudgetCase{"OneByteWhenFull", 100, 1, false}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
