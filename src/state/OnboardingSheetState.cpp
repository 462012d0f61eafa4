#include "state/OnboardingSheetState.h"

#include "foundation/Shared.h"

OnboardingSheetState& OnboardingSheetState::shared() { return Shared<OnboardingSheetState>::instance(); }

void OnboardingSheetState::setPresented(bool presented)
{
    isPresented_ = presented;
    Q_EMIT isPresentedChanged();
}
