#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

class AppStore;
class OnboardingSheetState;
class SheetHost;
class UserDefaults;
class QWidget;

// What the onboarding sheet shows and what its button does.
struct OnboardingContent {
    QString subtitle;
    QString title;
    QString description;
    QString buttonText;
    std::optional<QUrl> videoUrl;
};

// The sheets of the main window that hang off no page: the onboarding sheet, up while its shared
// state says so. Its button stores that onboarding was completed and lands on Explore; closing
// it any other way stores nothing, so it is offered again. GUI thread; owned by the root view.
class AppSheetsHost : public QObject {
    Q_OBJECT

public:
    using SheetFactory = std::function<QWidget*(const OnboardingContent& content, std::function<void()> onButtonClick)>;

    AppSheetsHost(SheetHost& sheets, OnboardingSheetState& state, UserDefaults& defaults, AppStore& appStore,
        SheetFactory makeSheet, std::function<void()> showExplore, QObject* parent = nullptr);

    static OnboardingContent content(const AppStore& appStore);
    QWidget* sheet() const { return sheet_; }

private:
    void follow();
    void completed();

    SheetHost& sheets_;
    OnboardingSheetState& state_;
    UserDefaults& defaults_;
    AppStore& appStore_;
    SheetFactory makeSheet_;
    std::function<void()> showExplore_;
    QPointer<QWidget> sheet_;
};
