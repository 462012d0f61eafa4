#pragma once

#include "ui/AnimatedValue.h"
#include "ui/PressableWidget.h"

// An on/off switch: a 44 by 24 rounded track, white when on and faint when off, with a black
// knob that slides to the on or off end over 0.2 s. A click reports the wish to flip; the owner
// decides and sets the value, so the switch always shows what the owner holds.
class ToggleSwitch : public PressableWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 44;
    static constexpr int kHeight = 24;
    static constexpr int kKnob = 18;

    explicit ToggleSwitch(bool on = false, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    // Moves the knob to the new end (animated unless the switch is hidden).
    void setOn(bool on);

    QSize sizeHint() const override { return {kWidth, kHeight}; }

Q_SIGNALS:
    // The user asks for this value.
    void toggled(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool on_;
    AnimatedValue knob_;
};
