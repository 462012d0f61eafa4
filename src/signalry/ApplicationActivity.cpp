#include "signalry/ApplicationActivity.h"

#include <QGuiApplication>

namespace signalry {

ApplicationActivity& ApplicationActivity::shared()
{
    // Kept until exit, past the application object, like the observers registered with it.
    // Whichever thread asks first, it lives on the GUI thread, where the state changes arrive.
    static auto* instance = [] {
        auto* activity = new ApplicationActivity;
        if (QCoreApplication* app = QCoreApplication::instance())
            activity->moveToThread(app->thread());
        return activity;
    }();
    return *instance;
}

ApplicationActivity::ApplicationActivity()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    active_ = QGuiApplication::applicationState() == Qt::ApplicationActive;
    connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        const bool active = state == Qt::ApplicationActive;
        if (active == active_)
            return;
        active_ = active;
        if (active)
            emit willBecomeActive();
        else
            emit didResignActive();
    });
}

} // namespace signalry
