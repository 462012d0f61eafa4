#pragma once

#include <QObject>

// What the desktop session tells about the screen: locked, unlocked, the machine going to sleep
// and waking up. The Linux implementation is DBusSessionEvents; tests install
// FakeSessionEvents with Shared<SessionEvents>::Override. GUI thread.
class SessionEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static SessionEvents& shared();

Q_SIGNALS:
    void locked();
    // Once per unlock, however many sources report it.
    void unlocked();
    void willSleep();
    // The machine woke up and the displays came back.
    void screensWoke();
};
