#include "pictor/networking/SessionManager.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace pictor {

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

struct SessionManager::Entry {
    std::weak_ptr<SessionManager> owner;
    QString host;
    quint64 turn = 0;
    std::function<void()> go;
    Patience patience;
    // When it began waiting.
    qint64 sinceNs = 0;
    bool out = false;

    ~Entry()
    {
        if (const std::shared_ptr<SessionManager> manager = owner.lock())
            manager->leave(host, turn, out);
    }
};

SessionManager::SessionManager(QObject* home) : home_(home) {}

// deleteLater: the last ticket or lease may go on any thread.
SessionManager::~SessionManager()
{
    for (const auto& [key, network] : networks_) {
        if (network.manager)
            network.manager->deleteLater();
    }
    if (patience_)
        patience_->deleteLater();
}

QString SessionManager::hostKey(const QUrl& url)
{
    return url.scheme().toLower() + QLatin1String("://") + url.host().toLower() + QLatin1Char(':')
           + QString::number(url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80));
}

SessionManager::Network& SessionManager::present(const QUrl& url)
{
    Network& network = networks_[hostKey(url)];
    if (!network.manager)
        network.manager = new QNetworkAccessManager(home_);
    return network;
}

QNetworkAccessManager* SessionManager::network(const QUrl& url) { return present(url).manager; }

QNetworkReply* SessionManager::get(const QNetworkRequest& request, std::function<void(QNetworkReply*)> replaced)
{
    const QString key = hostKey(request.url());
    Network& network = present(request.url());
    QNetworkReply* reply = network.manager->get(request);
    std::erase_if(network.replies, [](const Network::Open& open) { return open.reply.isNull(); });
    network.replies.push_back({reply, nowNs(), std::move(replaced)});
    // In the network's context: stopping a reply drops the connections made in its own.
    const auto taken = [weak = weak_from_this(), key, manager = network.manager.data()] {
        if (const std::shared_ptr<SessionManager> self = weak.lock())
            self->noteTakenUp(key, manager);
    };
    QObject::connect(reply, &QNetworkReply::requestSent, network.manager.data(), taken);
    QObject::connect(reply, &QNetworkReply::encrypted, network.manager.data(), taken);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, network.manager.data(), taken);
    return reply;
}

void SessionManager::noteTakenUp(const QString& key, const QNetworkAccessManager* manager)
{
    if (const auto found = networks_.find(key); found != networks_.end() && found->second.manager == manager)
        found->second.takenUpNs = nowNs();
}

void SessionManager::letGoUnanswered(QNetworkReply* reply, int afterMs)
{
    for (const auto& [key, network] : networks_) {
        const auto open = std::find_if(network.replies.begin(), network.replies.end(),
                                       [reply](const Network::Open& each) { return each.reply == reply; });
        if (open == network.replies.end())
            continue;
        auto check = [weak = weak_from_this(), key, stale = network.manager.data(), since = open->handedOverNs] {
            if (const std::shared_ptr<SessionManager> self = weak.lock())
                self->renewUnlessTakenUp(key, stale, since);
        };
        if (afterMs <= 0)
            return check();
        return QTimer::singleShot(afterMs, network.manager.data(), check);
    }
}

void SessionManager::renewUnlessTakenUp(const QString& key, const QNetworkAccessManager* stale, qint64 sinceNs)
{
    const auto found = networks_.find(key);
    if (found == networks_.end() || found->second.manager != stale || found->second.takenUpNs >= sinceNs)
        return;
    QNetworkAccessManager* const old = found->second.manager;
    const std::vector<Network::Open> replaced = std::move(found->second.replies);
    networks_.erase(found);
    // Told later: the renewal may be asked in the middle of a transfer's step.
    for (const Network::Open& open : replaced) {
        if (open.reply && !open.reply->isFinished())
            QMetaObject::invokeMethod(open.reply, [reply = open.reply.data(), tell = open.replaced] { tell(reply); }, Qt::QueuedConnection);
    }
    const QList<QNetworkReply*> replies = old->findChildren<QNetworkReply*>(QString(), Qt::FindDirectChildrenOnly);
    if (replies.isEmpty())
        return old->deleteLater();
    auto left = std::make_shared<qsizetype>(replies.size());
    for (QNetworkReply* reply : replies) {
        QObject::connect(reply, &QObject::destroyed, old, [old, left] {
            if (--*left == 0)
                old->deleteLater();
        });
    }
}

SessionManager::Ticket SessionManager::whenFree(const QUrl& url, std::function<void()> go, Patience patience)
{
    return wait(url, std::move(go), std::move(patience), nextTurn_++);
}

SessionManager::Ticket SessionManager::passOn(Ticket held, const QUrl& url, std::function<void()> go, Patience patience)
{
    std::shared_ptr<Entry> entry = std::static_pointer_cast<Entry>(held);
    if (!entry)
        return whenFree(url, std::move(go), std::move(patience));
    bool kept = false;
    {
        std::lock_guard lock(mutex_);
        kept = entry->out && entry->host == hostKey(url);
    }
    if (kept) {
        go();
        return held;
    }
    const quint64 turn = entry->turn;
    entry.reset();
    held.reset();
    return wait(url, std::move(go), std::move(patience), turn);
}

SessionManager::Ticket SessionManager::wait(const QUrl& url, std::function<void()> go, Patience patience, quint64 turn)
{
    auto entry = std::make_shared<Entry>();
    entry->owner = weak_from_this();
    entry->host = hostKey(url);
    entry->turn = turn;
    const int patienceMs = patience.ms;
    {
        std::lock_guard lock(mutex_);
        Host& host = hosts_[entry->host];
        if (host.out >= kConnectionsPerHost) {
            entry->go = std::move(go);
            entry->patience = std::move(patience);
            entry->sinceNs = nowNs();
            host.waiting.emplace(turn, entry);
            go = nullptr;
        } else {
            ++host.out;
            entry->out = true;
        }
    }
    if (go)
        go();
    else if (patienceMs > 0)
        armPatience(patienceMs);
    return entry;
}

std::shared_ptr<SessionManager::Entry> SessionManager::takeNext(Host& host)
{
    // Waits being withdrawn on other threads are skipped.
    while (!host.waiting.empty()) {
        std::shared_ptr<Entry> next = host.waiting.begin()->second.lock();
        host.waiting.erase(host.waiting.begin());
        if (next) {
            ++host.out;
            next->out = true;
            return next;
        }
    }
    return nullptr;
}

void SessionManager::leave(const QString& key, quint64 turn, bool out)
{
    std::shared_ptr<Entry> next;
    {
        std::lock_guard lock(mutex_);
        const auto found = hosts_.find(key);
        if (found == hosts_.end())
            return;
        Host& host = found->second;
        if (out) {
            --host.out;
            host.progressNs = nowNs();
            next = takeNext(host);
        } else if (const auto waiting = host.waiting.find(turn); waiting != host.waiting.end() && waiting->second.expired()) {
            host.waiting.erase(waiting);
        }
        if (host.out == 0 && host.waiting.empty())
            hosts_.erase(found);
    }
    if (!next)
        return;
    // Later, on the home thread: the place may be given back in the middle of another transfer's step.
    QMetaObject::invokeMethod(home_, [weak = std::weak_ptr<Entry>(next)] {
        if (const std::shared_ptr<Entry> entry = weak.lock())
            entry->go();
    }, Qt::QueuedConnection);
}

void SessionManager::armPatience(int ms)
{
    if (!patience_) {
        patience_ = new QTimer(home_);
        patience_->setSingleShot(true);
        patience_->setTimerType(Qt::PreciseTimer);
        QObject::connect(patience_, &QTimer::timeout, patience_, [weak = weak_from_this()] {
            if (const std::shared_ptr<SessionManager> manager = weak.lock())
                manager->checkPatience();
        });
    }
    if (!patience_->isActive() || patience_->remainingTime() > ms)
        patience_->start(ms);
}

void SessionManager::checkPatience()
{
    std::vector<std::shared_ptr<Entry>> exhausted;
    std::optional<qint64> nextNs;
    const qint64 now = nowNs();
    {
        std::lock_guard lock(mutex_);
        for (auto& [key, host] : hosts_) {
            for (auto waiting = host.waiting.begin(); waiting != host.waiting.end();) {
                const std::shared_ptr<Entry> entry = waiting->second.lock();
                if (!entry || entry->patience.ms <= 0) {
                    ++waiting;
                    continue;
                }
                const qint64 due = std::max(entry->sinceNs, host.progressNs) + qint64(entry->patience.ms) * 1000000;
                if (due <= now) {
                    exhausted.push_back(entry);
                    waiting = host.waiting.erase(waiting);
                } else {
                    nextNs = std::min(nextNs.value_or(due), due);
                    ++waiting;
                }
            }
        }
    }
    for (const std::shared_ptr<Entry>& entry : exhausted)
        entry->patience.exhausted();
    if (nextNs)
        armPatience(int((*nextNs - now + 999999) / 1000000));
}

} // namespace pictor
