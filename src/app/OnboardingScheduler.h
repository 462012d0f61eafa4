#pragma once

#include <QObject>
#include <QTimer>

class OnboardingSheetState;
class UserDefaults;

// Decides when the onboarding sheet comes up: a check scheduled some time ahead, each new
// schedule replacing the waiting one, that presents the sheet unless the user completed it (or
// the first-run sheet of earlier versions), or settings that could not be read were someone's.
// GUI thread; owned by the root view.
class OnboardingScheduler : public QObject {
    Q_OBJECT

public:
    static constexpr int kDelayMs = 1000;

    OnboardingScheduler(UserDefaults& defaults, OnboardingSheetState& sheet, QObject* parent = nullptr);

    // Only the latest scheduled check runs.
    void schedule(int delayMs = kDelayMs);
    bool isScheduled() const { return timer_.isActive(); }
    void presentIfNeeded();

private:
    UserDefaults& defaults_;
    OnboardingSheetState& sheet_;
    QTimer timer_;
};
