#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGui/qwindowdefs.h>

class QWindow;

// Tells when the X server reports a window fully covered by others (VisibilityNotify), which
// Qt does not pass on: a full-screen window over a desktop video leaves it mapped and "visible"
// to Qt. Without a compositing manager only; with one, windows are never reported covered.
// GUI thread only.
class X11WindowVisibility : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Null unless the platform is xcb and the window has been created.
    static X11WindowVisibility* watch(QWindow* window, QObject* parent);
    ~X11WindowVisibility() override;

    bool isFullyObscured() const { return obscured_; }
    WId windowId() const { return window_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void fullyObscuredChanged(bool obscured);

private:
    X11WindowVisibility(quint32 window, QObject* parent);

    quint32 window_;
    bool obscured_ = false;
};
