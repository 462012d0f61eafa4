#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <optional>

class QScrollBar;
class QWidget;

// Content that scrolls under a resting pointer gets no mouse event: the window system reports
// none until the pointer itself moves, so a hover look would stay on what has moved away.
// This tells a widget where the pointer is (in its own coordinates, or nothing when it is off
// the widget) each time a scroll area it lies in scrolls. GUI thread; owned by the widget.
class PointerRecheck : public QObject {
    Q_OBJECT

public:
    using Recheck = std::function<void(std::optional<QPoint>)>;

    PointerRecheck(QWidget* widget, Recheck recheck);

    // Where the pointer is over `widget`, if it is over it and the widget is on screen.
    static std::optional<QPoint> pointerIn(const QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The scroll areas around the widget are known only once it is placed in a window.
    void followScrollAreas();
    void recheck();

    QWidget* widget_;
    Recheck recheck_;
    QList<QPointer<QScrollBar>> followed_;
};
