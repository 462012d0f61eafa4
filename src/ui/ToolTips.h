#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class ToolTipLabel;
class QWidget;

// The tooltips of the application's widgets, shown in place of Qt's own. Qt puts a tip just
// below the pointer, which is often over the very control the pointer rests on, and its tip
// window swallows the click meant for that control. Here a tip stands beside the whole widget it
// describes (below it, above when there is no room below), and takes no input. It goes when the
// pointer leaves the widget, when the widget moves (a scroll, a layout, its window moved), on
// any press, wheel or key, or after 10 s. Installed once on the
// application; GUI thread.
class ToolTips : public QObject {
    Q_OBJECT

public:
    static constexpr int kShownMs = 10'000;

    // Idempotent; needs the application object.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ToolTips(QObject* parent);
    void show(QWidget* about);
    void hide();

    QPointer<QWidget> about_;
    QPointer<ToolTipLabel> label_;
    QTimer expiry_;
};
