#include "app/OnboardingScheduler.h"

#include "app/ShellDefaults.h"
#include "foundation/UserDefaults.h"
#include "state/OnboardingSheetState.h"

OnboardingScheduler::OnboardingScheduler(UserDefaults& defaults, OnboardingSheetState& sheet, QObject* parent)
    : QObject(parent), defaults_(defaults), sheet_(sheet)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &OnboardingScheduler::presentIfNeeded);
}

void OnboardingScheduler::schedule(int delayMs)
{
    timer_.start(delayMs);
}

void OnboardingScheduler::presentIfNeeded()
{
    if (defaults_.boolean(ShellDefaults::onboardingSheetCompleted) || defaults_.boolean(ShellDefaults::legacyOnboardingCompleted))
        return;
    // Settings that could not be read were someone's: no welcome over what they are told of.
    if (defaults_.readTrouble())
        return;
    sheet_.setPresented(true);
}
