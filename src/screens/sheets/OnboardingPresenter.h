#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class AppStore;
class OnboardingSheet;
class OnboardingSheetState;
class SheetHost;
class UserDefaults;

// Shows the welcome sheet on a window's sheet host while the onboarding flag is up, and takes it
// down when the flag drops. Its button records that onboarding was completed and then runs the
// owner's follow-up (showing the Explore tab); either way of closing lowers the flag. GUI thread;
// owned by the view that owns the sheet host.
class OnboardingPresenter : public QObject {
    Q_OBJECT

public:
    static inline const QString kOnboardingCompletedKey = QStringLiteral("onboardingCompleted");

    // The shared application state and standard defaults.
    OnboardingPresenter(OnboardingSheetState& state, SheetHost& sheets, std::function<void()> afterCompleting,
        QObject* parent = nullptr);
    OnboardingPresenter(OnboardingSheetState& state, SheetHost& sheets, std::function<void()> afterCompleting, AppStore& store,
        UserDefaults& defaults, QObject* parent = nullptr);

    OnboardingSheet* sheet() const;

private:
    void follow();

    OnboardingSheetState& state_;
    QPointer<SheetHost> sheets_;
    std::function<void()> afterCompleting_;
    AppStore& store_;
    UserDefaults& defaults_;
    QPointer<OnboardingSheet> sheet_;
};
