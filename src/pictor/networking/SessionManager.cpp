#include "pictor/networking/SessionManager.h"

#include <QNetworkAccessManager>

namespace pictor {

struct SessionManager::Entry {
    std::weak_ptr<SessionManager> owner;
    QString host;
    std::function<void()> go;
    bool out = false;

    ~Entry()
    {
        if (!out)
            return;
        if (const std::shared_ptr<SessionManager> manager = owner.lock())
            manager->giveBack(host);
    }
};

SessionManager::SessionManager(QObject* home) : home_(home), network_(new QNetworkAccessManager(home)) {}

// deleteLater: the last ticket or lease may go on any thread.
SessionManager::~SessionManager() { network_->deleteLater(); }

QString SessionManager::hostKey(const QUrl& url)
{
    return url.scheme().toLower() + QLatin1String("://") + url.host().toLower() + QLatin1Char(':')
           + QString::number(url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80));
}

SessionManager::Ticket SessionManager::whenFree(const QUrl& url, std::function<void()> go)
{
    return wait(url, std::move(go), false);
}

SessionManager::Ticket SessionManager::passOn(Ticket held, const QUrl& url, std::function<void()> go)
{
    if (const auto entry = std::static_pointer_cast<Entry>(held)) {
        bool kept = false;
        {
            std::lock_guard lock(mutex_);
            kept = entry->out && entry->host == hostKey(url);
        }
        if (kept) {
            go();
            return held;
        }
    }
    held.reset();
    return wait(url, std::move(go), true);
}

SessionManager::Ticket SessionManager::wait(const QUrl& url, std::function<void()> go, bool ahead)
{
    auto entry = std::make_shared<Entry>();
    entry->owner = weak_from_this();
    entry->host = hostKey(url);
    {
        std::lock_guard lock(mutex_);
        Host& host = hosts_[entry->host];
        if (host.out >= kConnectionsPerHost) {
            entry->go = std::move(go);
            if (ahead)
                host.waiting.push_front(entry);
            else
                host.waiting.push_back(entry);
            return entry;
        }
        ++host.out;
        entry->out = true;
    }
    go();
    return entry;
}

void SessionManager::dropConnectionsWhenIdle()
{
    {
        std::lock_guard lock(mutex_);
        dropConnections_ = true;
    }
    postDropIfIdle();
}

void SessionManager::postDropIfIdle()
{
    QMetaObject::invokeMethod(home_, [weak = weak_from_this()] {
        if (const std::shared_ptr<SessionManager> manager = weak.lock())
            manager->dropIfIdle();
    }, Qt::QueuedConnection);
}

void SessionManager::dropIfIdle()
{
    {
        std::lock_guard lock(mutex_);
        if (!dropConnections_ || !hosts_.empty())
            return;
        dropConnections_ = false;
    }
    network_->clearConnectionCache();
}

void SessionManager::giveBack(const QString& key)
{
    std::shared_ptr<Entry> next;
    bool idle = false;
    {
        std::lock_guard lock(mutex_);
        Host& host = hosts_[key];
        --host.out;
        // The place passes to the first request still waiting; withdrawn ones are skipped.
        while (!next && !host.waiting.empty()) {
            next = host.waiting.front().lock();
            host.waiting.pop_front();
        }
        if (next) {
            ++host.out;
            next->out = true;
        } else if (host.out == 0) {
            hosts_.erase(key);
            idle = hosts_.empty() && dropConnections_;
        }
    }
    if (idle)
        postDropIfIdle();
    if (!next)
        return;
    // Later, on the home thread: the place may be given back in the middle of another transfer's step.
    QMetaObject::invokeMethod(home_, [weak = std::weak_ptr<Entry>(next)] {
        if (const std::shared_ptr<Entry> entry = weak.lock())
            entry->go();
    }, Qt::QueuedConnection);
}

} // namespace pictor
