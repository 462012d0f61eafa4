#include "state/OnboardingSheetState.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(OnboardingSheetStateTest, StartsHiddenAndAnnouncesEveryAssignment)
{
    OnboardingSheetState state;
    EXPECT_FALSE(state.isPresented());
    QSignalSpy changes(&state, &OnboardingSheetState::isPresentedChanged);
    state.setPresented(true);
    state.setPresented(true);
    EXPECT_TRUE(state.isPresented());
    EXPECT_EQ(changes.count(), 2);
}
