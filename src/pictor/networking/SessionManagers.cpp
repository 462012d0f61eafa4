#include "pictor/networking/SessionManagers.h"

#include "pictor/networking/SessionManager.h"

#include <QCoreApplication>
#include <QThread>

#include <mutex>
#include <utility>
#include <vector>

namespace pictor {

QObject* SessionManagers::home()
{
    static QObject* const made = [] {
        auto* object = new QObject();
        if (QCoreApplication* application = QCoreApplication::instance(); application && QThread::currentThread() != application->thread())
            object->moveToThread(application->thread());
        // The networks go before the application: each takes its own thread with it, so no
        // thread of theirs is left running at the process's end.
        qAddPostRoutine([] { qDeleteAll(home()->children()); });
        return object;
    }();
    return made;
}

std::shared_ptr<SessionManager> SessionManagers::managerFor(const TrustConfiguration& trust)
{
    Q_ASSERT(QThread::currentThread() == home()->thread());
    static std::mutex mutex;
    // A process holds a handful of trusts at once: a list searched in order is enough.
    static std::vector<std::pair<TrustConfiguration, std::weak_ptr<SessionManager>>> managers;
    std::lock_guard lock(mutex);
    std::erase_if(managers, [](const auto& entry) { return entry.second.expired(); });
    for (const auto& [configuration, manager] : managers) {
        if (configuration == trust) {
            if (std::shared_ptr<SessionManager> held = manager.lock())
                return held;
        }
    }
    auto made = std::make_shared<SessionManager>(home());
    managers.emplace_back(trust, made);
    return made;
}

} // namespace pictor
