#pragma once

#include "ui/AnimatedValue.h"

#include <QWidget>

// The thin bar of the start-up screen: a faint capsule track and a brighter fill that moves to
// its target smoothly (from 0 each time the bar is shown, also when the target drops). A full
// bar is drawn full at once: the message beside it already says the work is done, and the screen
// may leave before an animation would have got there. GUI thread.
class ProgressBarView : public QWidget {
    Q_OBJECT

public:
    explicit ProgressBarView(QWidget* parent = nullptr);

    double progress() const { return progress_; }
    // The fraction drawn now, on its way to progress().
    double animatedProgress() const { return drawn_.value(); }
    void setProgress(double progress);

signals:
    // The drawn fraction moved: a figure shown beside the bar follows this, not the target.
    void animatedProgressChanged(double progress);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    double progress_ = 0;
    AnimatedValue drawn_;
};
