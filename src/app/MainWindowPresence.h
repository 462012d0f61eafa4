#pragma once

#include "app/ConnectivityProbe.h"
#include "menubar/TrayWindowControl.h"
#include "platform/ActivationPolicy.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class UserDefaults;

// Keeps the application's presence in step with its main windows: the regular activation policy
// (task bar, dock) exactly while a main window is shown, the accessory one (tray only) once the
// last is closed. Brings the main window back from the tray, a second launch or a link, building
// a new one when none is left, and starts the first load of the application state when a window
// is shown before it happened, telling the user when the network is down. Watches the windows
// it is attached to through an event filter. GUI thread; owned by the application delegate.
class MainWindowPresence : public QObject {
    Q_OBJECT
public:
    // Builds a main window, not yet shown.
    using WindowFactory = std::function<QWidget*()>;

    static constexpr int kUpdateAfterCloseMs = 100;
    static constexpr int kUpdateAfterKeyChangeMs = 50;
    static constexpr int kShowDelayMs = 50;
    static constexpr int kOfflineToastSeconds = 5;

    MainWindowPresence(ActivationPolicy& policy, UserDefaults& defaults, WindowFactory makeWindow,
        ConnectivityProbe probe = ConnectivityProbe(), QObject* parent = nullptr);

    ActivationPolicy::Policy currentActivationPolicy() const { return currentActivationPolicy_; }
    // The launch sequence's regular policy, recorded as the one last applied.
    void applyRegularPolicyAtLaunch();
    QWidget* manualWindow() const { return manualWindow_; }

    // Switches the activation policy to what the shown main windows call for, logging the switch.
    void updateDockVisibility();
    // A window became or stopped being the focus window.
    void handleWindowDidChange();
    // Watches every main window not watched yet.
    void attachWindowDelegate();
    void showMainWindow();
    // A second launch of the application (the dock's reopen); always handled.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The last window was closed; the application keeps running.
    bool applicationShouldTerminateAfterLastWindowClosed();
    QWidget* createMainWindow();
    // What the tray may do to the windows: show the main window the way this presence does,
    // close them all, tell whether one is shown. Safe to call after the presence is gone.
    TrayWindowControl trayWindowControl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach(QWidget* window);
    void showOrCreateMainWindow();
    void windowWillClose(QWidget* window);
    static QCoro::Task<> loadStateAfterShowingWindow(ConnectivityProbe probe);
    bool isClosing(const QWidget* window) const;

    ActivationPolicy& policy_;
    UserDefaults& defaults_;
    WindowFactory makeWindow_;
    ConnectivityProbe probe_;
    ActivationPolicy::Policy currentActivationPolicy_ = ActivationPolicy::Policy::Regular;
    QPointer<QWidget> manualWindow_;
    QList<QPointer<QWidget>> attached_;
    // Windows that received their close: gone on the next turn, never to be shown again.
    QList<QPointer<QWidget>> closing_;
};
