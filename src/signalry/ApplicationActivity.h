#pragma once

#include <QObject>

namespace signalry {

// Tells when the application stops and starts being the active application, from the
// application's state, each change reported once. Lives on the GUI thread.
class ApplicationActivity : public QObject {
    Q_OBJECT

public:
    static ApplicationActivity& shared();

signals:
    void didResignActive();
    void willBecomeActive();

private:
    ApplicationActivity();

    bool active_ = false;
};

} // namespace signalry
