#include "support/ReturningUserShell.h"

#include "app/ShellDefaults.h"
#include "foundation/Async.h"
#include "foundation/UserDefaults.h"
#include "state/AppStore.h"

ReturningUserShell::ReturningUserShell()
{
    UserDefaults::standard().setBool(ShellDefaults::hasLaunchedBefore, true);
    UserDefaults::standard().setBool(ShellDefaults::onboardingSheetCompleted, true);
    fireAndForget(AppStore::shared().initializeIfNeeded());
}
