#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Gives a card a single-click action unless told not to: a left press and release inside the
// widget make one tap. Hover and everything else reach the widget untouched, and a suppressed
// handler lets the clicks through as well. Owned by the widget it watches.
class TapHandler : public QObject {
    Q_OBJECT

public:
    TapHandler(QWidget* target, std::function<void()> action);

    void setSuppressed(bool suppressed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* target_;
    std::function<void()> action_;
    bool suppressed_ = false;
    bool pressed_ = false;
};
