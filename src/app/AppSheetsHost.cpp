#include "app/AppSheetsHost.h"

#include "app/ShellDefaults.h"
#include "foundation/UserDefaults.h"
#include "state/AppStore.h"
#include "state/OnboardingSheetState.h"
#include "ui/SheetHost.h"

AppSheetsHost::AppSheetsHost(SheetHost& sheets, OnboardingSheetState& state, UserDefaults& defaults, AppStore& appStore,
    SheetFactory makeSheet, std::function<void()> showExplore, QObject* parent)
    : QObject(parent), sheets_(sheets), state_(state), defaults_(defaults), appStore_(appStore),
      makeSheet_(std::move(makeSheet)), showExplore_(std::move(showExplore))
{
    connect(&state_, &OnboardingSheetState::isPresentedChanged, this, &AppSheetsHost::follow);
    // Escape or any other dismissal closes the sheet without completing it.
    connect(&sheets_, &SheetHost::dismissed, this, [this] {
        if (!sheet_ || sheets_.sheet() == sheet_)
            return;
        sheet_ = nullptr;
        if (state_.isPresented())
            state_.setPresented(false);
    });
    follow();
}

OnboardingContent AppSheetsHost::content(const AppStore& appStore)
{
    OnboardingContent content;
    content.subtitle = tr("Hey there 👋");
    content.title = tr("Welcome to Quorvelle");
    content.description = tr("Discover stunning live wallpapers, curated collections, and lockscreen exclusives - all in "
                             "one place. ")
        + QStringLiteral("\n\n") + tr("Make your desktop truly yours.");
    content.buttonText = tr("Get Started");
    if (const auto& stats = appStore.platformStats(); stats && stats->onBoardingScreenVideo)
        content.videoUrl = QUrl(*stats->onBoardingScreenVideo);
    return content;
}

void AppSheetsHost::follow()
{
    if (state_.isPresented() && !sheet_) {
        sheet_ = makeSheet_(content(appStore_), [this] { completed(); });
        sheets_.present(sheet_);
    } else if (!state_.isPresented() && sheet_ && sheets_.sheet() == sheet_) {
        sheets_.dismiss();
    }
}

void AppSheetsHost::completed()
{
    defaults_.setBool(ShellDefaults::onboardingSheetCompleted, true);
    if (showExplore_)
        showExplore_();
    state_.setPresented(false);
}
