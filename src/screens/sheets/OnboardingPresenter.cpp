#include "screens/sheets/OnboardingPresenter.h"

#include "foundation/UserDefaults.h"
#include "screens/sheets/OnboardingSheet.h"
#include "state/AppStore.h"
#include "state/OnboardingSheetState.h"
#include "ui/SheetHost.h"

OnboardingPresenter::OnboardingPresenter(OnboardingSheetState& state, SheetHost& sheets, std::function<void()> afterCompleting,
    QObject* parent)
    : OnboardingPresenter(state, sheets, std::move(afterCompleting), AppStore::shared(), UserDefaults::standard(), parent)
{
}

OnboardingPresenter::OnboardingPresenter(OnboardingSheetState& state, SheetHost& sheets, std::function<void()> afterCompleting,
    AppStore& store, UserDefaults& defaults, QObject* parent)
    : QObject(parent), state_(state), sheets_(&sheets), afterCompleting_(std::move(afterCompleting)), store_(store),
      defaults_(defaults)
{
    connect(&state_, &OnboardingSheetState::isPresentedChanged, this, &OnboardingPresenter::follow);
    // Escape takes the sheet down through the host: the flag follows.
    connect(&sheets, &SheetHost::dismissed, this, [this] {
        if (sheet_ && sheets_->sheet() != sheet_ && !sheet_->isVisible()) {
            sheet_ = nullptr;
            state_.setPresented(false);
        }
    });
    follow();
}

OnboardingSheet* OnboardingPresenter::sheet() const { return sheet_; }

void OnboardingPresenter::follow()
{
    if (!sheets_)
        return;
    if (!state_.isPresented()) {
        // Forgotten at once: the sheet is deleted later, and a new flag makes a new sheet.
        OnboardingSheet* leaving = sheet_;
        sheet_ = nullptr;
        if (leaving && sheets_->sheet() == leaving)
            sheets_->dismiss();
        return;
    }
    if (sheet_)
        return;
    const auto& stats = store_.platformStats();
    sheet_ = new OnboardingSheet(OnboardingSheet::Texts::welcome(), stats ? stats->onboardingVideoURL() : std::nullopt,
        [this] {
            defaults_.setBool(kOnboardingCompletedKey, true);
            if (afterCompleting_)
                afterCompleting_();
        },
        [this] { state_.setPresented(false); });
    sheets_->present(sheet_);
}
