#pragma once

#include "ui/PressableWidget.h"

class Spinner;

// The report sheet's wide button: "Submit" on white, a wheel while the report is under way,
// a check mark and "Reported" on green once it arrived, or a warning and "Not Sent, Try Again"
// on red when it did not. Dimmed while it cannot be pressed.
class ReportSubmitButton : public PressableWidget {
    Q_OBJECT

public:
    enum class State { idle, submitting, submitted, failed };

    explicit ReportSubmitButton(QWidget* parent = nullptr);

    State state() const { return state_; }
    void setState(State state);
    // The label and the fill as they are shown right now.
    QString text() const;
    QColor fillColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString symbol() const;
    void placeSpinner();

    State state_ = State::idle;
    Spinner* spinner_;
};
