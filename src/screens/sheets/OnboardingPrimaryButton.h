#pragma once

#include "ui/PressableWidget.h"

// The onboarding sheet's one action: a white pill with black text and an arrow, outlined in
// black, at most 160 wide; while hovered the fill and the outline soften over 0.15 s.
class OnboardingPrimaryButton : public PressableWidget {
    Q_OBJECT

public:
    static constexpr int kMaxWidth = 160;

    explicit OnboardingPrimaryButton(const QString& text, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    QColor fillColor() const;
    QColor strokeColor() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};
