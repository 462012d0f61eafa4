#pragma once

#include <QObject>

// Whether the first-run onboarding sheet is shown: set by the root view when onboarding is due,
// written back by the sheet host when the sheet is dismissed. Keeps nothing on disk. Every
// assignment is announced, also one that does not change the value. GUI thread; one shared
// instance kept until exit.
class OnboardingSheetState : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented WRITE setPresented NOTIFY isPresentedChanged)

public:
    explicit OnboardingSheetState(QObject* parent = nullptr) : QObject(parent) {}

    static OnboardingSheetState& shared();

    bool isPresented() const { return isPresented_; }
    void setPresented(bool presented);

Q_SIGNALS:
    void isPresentedChanged();

private:
    bool isPresented_ = false;
};
