#pragma once

#include "ui/AnimatedValue.h"

#include <QWidget>

// The thin bar of the start-up screen: a faint capsule track and a brighter fill that moves to
// its target smoothly (from 0 each time the bar is shown, also when the target drops).
// GUI thread.
class ProgressBarView : public QWidget {
    Q_OBJECT

public:
    explicit ProgressBarView(QWidget* parent = nullptr);

    double progress() const { return progress_; }
    void setProgress(double progress);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    double progress_ = 0;
    AnimatedValue drawn_;
};
