#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

class SessionEvents;

// Restarts the lock-screen wallpaper extension after every unlock of the screen and every wake
// of the machine while the lock-screen feature is on, so that it picks up the installed video
// again. The restart is awaited, never blocking the GUI thread; a failure is only logged and the
// next unlock tries again. GUI thread; owned by the application delegate.
class SystemEventObservers : public QObject {
    Q_OBJECT
public:
    explicit SystemEventObservers(SessionEvents& events, QObject* parent = nullptr);

    void registerSystemObservers();
    void removeSystemObservers();

    void handleSystemLock();
    void handleSystemUnlock();

private:
    static QCoro::Task<> restartExtensionAfterUnlock();

    SessionEvents& events_;
    QList<QMetaObject::Connection> connections_;
};
