#include "pictor/networking/SessionManagers.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QThread>

#include <utility>
#include <vector>

namespace pictor {

QObject* SessionManagers::home()
{
    static QObject* const made = [] {
        auto* object = new QObject();
        if (QCoreApplication* application = QCoreApplication::instance(); application && QThread::currentThread() != application->thread())
            object->moveToThread(application->thread());
        return object;
    }();
    return made;
}

QNetworkAccessManager* SessionManagers::managerFor(const TrustConfiguration& trust)
{
    Q_ASSERT(QThread::currentThread() == home()->thread());
    // A process knows a handful of configurations: a list searched in order is enough.
    static std::vector<std::pair<TrustConfiguration, QNetworkAccessManager*>> managers;
    for (const auto& [configuration, manager] : managers) {
        if (configuration == trust)
            return manager;
    }
    auto* made = new QNetworkAccessManager(home());
    managers.emplace_back(trust, made);
    return made;
}

} // namespace pictor
