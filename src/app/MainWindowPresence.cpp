#include "app/MainWindowPresence.h"

#include "app/AppWindows.h"
#include "app/ShellDefaults.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "platform/Screens.h"
#include "state/AppStore.h"
#include "state/NotificationManager.h"

#include <QEvent>

MainWindowPresence::MainWindowPresence(ActivationPolicy& policy, UserDefaults& defaults, WindowFactory makeWindow,
    ConnectivityProbe probe, QObject* parent)
    : QObject(parent), policy_(policy), defaults_(defaults), makeWindow_(std::move(makeWindow)), probe_(std::move(probe))
{
}

void MainWindowPresence::applyRegularPolicyAtLaunch()
{
    policy_.setPolicy(ActivationPolicy::Policy::Regular);
    currentActivationPolicy_ = ActivationPolicy::Policy::Regular;
}

void MainWindowPresence::updateDockVisibility()
{
    const bool shown = AppWindows::hasShownMainWindow();
    const auto desired = shown ? ActivationPolicy::Policy::Regular : ActivationPolicy::Policy::Accessory;
    if (desired == currentActivationPolicy_)
        return;
    policy_.setPolicy(desired);
    currentActivationPolicy_ = desired;
    logLine(shown ? QStringLiteral("✅ Main windows exist - showing dock dot (setting to .regular)")
                  : QStringLiteral("❌ All windows closed - hiding dock dot (setting to .accessory)"));
}

void MainWindowPresence::handleWindowDidChange()
{
    attachWindowDelegate();
    runAfter(kUpdateAfterKeyChangeMs, this, [this] { updateDockVisibility(); });
}

void MainWindowPresence::attachWindowDelegate()
{
    const QList<QWidget*> windows = AppWindows::mainWindows();
    for (QWidget* window : windows)
        attach(window);
}

void MainWindowPresence::attach(QWidget* window)
{
    attached_.removeAll(nullptr);
    if (attached_.contains(window))
        return;
    attached_.append(window);
    window->installEventFilter(this);
}

bool MainWindowPresence::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    logLine(QStringLiteral("🔄 Dock icon clicked - hasVisibleWindows: ") + (hasVisibleWindows ? QStringLiteral("true") : QStringLiteral("false")));
    showMainWindow();
    return true;
}

bool MainWindowPresence::applicationShouldTerminateAfterLastWindowClosed()
{
    runAfter(kUpdateAfterCloseMs, this, [this] { updateDockVisibility(); });
    return false;
}

void MainWindowPresence::showMainWindow()
{
    policy_.setPolicy(ActivationPolicy::Policy::Regular);
    defaults_.setBool(ShellDefaults::hasShownWindowThisSession, true);
    defaults_.setBool(ShellDefaults::hiddenDueToLoginLaunch, false);
    launch([probe = probe_] { return loadStateAfterShowingWindow(probe); }, QStringLiteral("AppDelegate"));
    runAfter(kShowDelayMs, this, [this] { showOrCreateMainWindow(); });
}

void MainWindowPresence::showOrCreateMainWindow()
{
    QWidget* window = nullptr;
    const QList<QWidget*> windows = AppWindows::mainWindows();
    for (QWidget* candidate : windows) {
        if (!isClosing(candidate)) {
            window = candidate;
            break;
        }
    }
    if (!window) {
        createMainWindow();
        return;
    }
    if (window->isMinimized())
        window->showNormal();
    if (!window->isVisible())
        window->show();
    window->raise();
    window->activateWindow();
    updateDockVisibility();
    runAfter(kUpdateAfterCloseMs, this, [this] { updateDockVisibility(); });
}

TrayWindowControl MainWindowPresence::trayWindowControl()
{
    return TrayWindowControl{
        .showMainWindow =
            [presence = QPointer<MainWindowPresence>(this)] {
                if (presence)
                    presence->showMainWindow();
            },
        .closeAllWindows =
            [] {
                const QList<QWidget*> windows = AppWindows::mainWindows();
                for (QWidget* window : windows)
                    window->close();
                AppWindows::orderOutNormalWindows();
            },
        .showsMainWindow = &AppWindows::hasMainWindowOnScreen,
    };
}

QWidget* MainWindowPresence::createMainWindow()
{
    QWidget* window = makeWindow_();
    // No zoom button and no shadow; the size is fixed by the window itself.
    window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    window->setWindowFlag(Qt::NoDropShadowWindowHint, true);
    window->setWindowTitle(QString());
    manualWindow_ = window;
    attach(window);
    policy_.setPolicy(ActivationPolicy::Policy::Regular);
    if (const std::optional<ScreenInfo> screen = Screens::shared().mainScreen()) {
        const QRect visible = screen->visibleGeometry;
        window->move(visible.left() + (visible.width() - window->width()) / 2,
            visible.top() + (visible.height() - window->height()) / 2);
    }
    window->show();
    window->raise();
    window->activateWindow();
    updateDockVisibility();
    return window;
}

bool MainWindowPresence::eventFilter(QObject* watched, QEvent* event)
{
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window || !AppWindows::isMainWindow(window))
        return false;
    if (event->type() == QEvent::WindowActivate)
        updateDockVisibility();
    else if (event->type() == QEvent::Close)
        windowWillClose(window);
    return false;
}

void MainWindowPresence::windowWillClose(QWidget* window)
{
    closing_.removeAll(nullptr);
    closing_.append(window);
    if (manualWindow_ == window)
        manualWindow_ = nullptr;
    // By then the closing window is off the screen.
    runAfter(kUpdateAfterCloseMs, this, [this] { updateDockVisibility(); });
}

bool MainWindowPresence::isClosing(const QWidget* window) const
{
    return std::any_of(closing_.begin(), closing_.end(), [window](const QPointer<QWidget>& closing) { return closing == window; });
}

QCoro::Task<> MainWindowPresence::loadStateAfterShowingWindow(ConnectivityProbe probe)
{
    AppStore& store = AppStore::shared();
    if (store.isInitialized())
        co_return;
    const bool online = co_await probe.checkInternetConnection();
    if (!online) {
        NotificationManager& toast = NotificationManager::shared();
        toast.setTitle(QString());
        toast.setMessage(tr("Please connect to internet and retry"));
        toast.setThumbnailImage(QImage());
        toast.setProgress(0);
        toast.setShowProgress(false);
        // show() already presents on a later turn; calling it now (rather than queueing it) makes
        // the hide below belong to this toast instead of being dropped as an earlier one's.
        toast.show();
        toast.hide(kOfflineToastSeconds);
    }
    co_await AppStore::shared().initializeIfNeeded();
}
