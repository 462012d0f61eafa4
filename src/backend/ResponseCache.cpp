#include "backend/ResponseCache.h"

#include "backend/QueryItem.h"
#include "backend/Utf8.h"
#include "foundation/Clock.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentMap>
#include <QUrl>

#include <algorithm>
#include <mutex>

namespace {
// Endpoints whose replies are never reused: each call must reach the backend. Matched anywhere
// in the address, as the backend names them.
const QStringList kNonCacheableEndpoints{
    QStringLiteral("check-upload-status"),
    QStringLiteral("search-wallpapers"),
    QStringLiteral("auto-complete"),
    QStringLiteral("platform-stats"),
    QStringLiteral("gravel-nook"),
    QStringLiteral("wallpaper-suggestions"),
    // Every counter bump must reach the backend, or repeated applies would not count.
    QStringLiteral("increment-wallpaper"),
};

// A randomly ordered list is asked for to get a new order each time.
bool asksForRandomOrder(const QUrl& url)
{
    const auto items = QueryItem::decode(url);
    return std::any_of(items.begin(), items.end(), [](const QueryItem& item) {
        return (item.name == u"sort_by" || item.name == u"mode") && item.value == u"random";
    });
}

QString normalisedAddress(const QUrl& url)
{
    QList<QueryItem> items = QueryItem::decode(url);
    if (items.isEmpty())
        return url.toString(QUrl::FullyEncoded);
    std::stable_sort(items.begin(), items.end(), [](const QueryItem& a, const QueryItem& b) {
        return a.name != b.name ? a.name < b.name : a.value < b.value;
    });
    QUrl sorted(url);
    sorted.setQuery(QueryItem::encode(items), QUrl::StrictMode);
    return sorted.isValid() ? sorted.toString(QUrl::FullyEncoded) : url.toString(QUrl::FullyEncoded);
}
} // namespace

ResponseCache::ResponseCache(QString filePath, const Clock& clock) : filePath_(std::move(filePath)), clock_(clock)
{
    if (!filePath_.isEmpty())
        QDir().mkpath(QFileInfo(filePath_).absolutePath()); // a failure shows at the first save
    load();
}

bool ResponseCache::isCacheable(const QByteArray& method, const QUrl& url)
{
    if (method != "GET")
        return false;
    const QString text = url.toString(QUrl::FullyEncoded);
    for (const QString& endpoint : kNonCacheableEndpoints) {
        if (text.contains(endpoint))
            return false;
    }
    return !asksForRandomOrder(url);
}

QString ResponseCache::cacheKey(const QByteArray& method, const QUrl& url, const std::optional<QByteArray>& body)
{
    QString key = QString::fromLatin1(method) + QLatin1Char('_') + normalisedAddress(url);
    if (body) {
        if (const auto text = Utf8::decode(*body))
            key += QLatin1Char('_') + *text;
    }
    return key;
}

bool ResponseCache::isFresh(const CacheEntry& entry) const
{
    // A negative age (the clock went back) still counts as fresh.
    return entry.timestamp.msecsTo(clock_.now()) <= kLifetimeMs;
}

std::optional<QByteArray> ResponseCache::cachedResponse(const QString& key)
{
    {
        std::shared_lock lock(mutex_);
        const auto found = entries_.constFind(key);
        if (found == entries_.constEnd())
            return std::nullopt;
        if (isFresh(*found))
            return found->data;
    }
    // Expired: forget it. The file keeps it until the next store rewrites the file.
    std::unique_lock lock(mutex_);
    const auto found = entries_.find(key);
    if (found != entries_.end() && !isFresh(*found)) {
        stored_.remove(key);
        entries_.erase(found);
    }
    return std::nullopt;
}

void ResponseCache::store(const QByteArray& data, const QString& key)
{
    std::unique_lock lock(mutex_);
    const CacheEntry entry{data, clock_.now()};
    entries_.insert(key, entry);
    stored_.insert(key, entry.toJson());
    save();
}

void ResponseCache::remove(const QString& key)
{
    std::unique_lock lock(mutex_);
    if (entries_.remove(key)) {
        stored_.remove(key);
        save();
    }
}

qsizetype ResponseCache::size() const
{
    std::shared_lock lock(mutex_);
    return entries_.size();
}

void ResponseCache::save() const
{
    if (filePath_.isEmpty())
        return;
    // Written beside the old file and renamed over it, so a crash never leaves half a cache.
    // A failed write is not worth a word: the next store tries again.
    QSaveFile file(filePath_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(stored_).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

void ResponseCache::load()
{
    if (filePath_.isEmpty())
        return;
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly))
        return; // not written yet
    QHash<QString, CacheEntry> read;
    QJsonObject content;
    try {
        const JsonReader json = JsonReader::parse(file.readAll());
        content = json.as<QJsonObject>();
        const QStringList keys = json.keys();
        // Decoding the bodies from Base64 is most of the work of a large file: it is spread over
        // the cores. Reading a shared JSON document from several threads is safe.
        const QList<std::optional<CacheEntry>> entries = QtConcurrent::blockingMapped(keys,
            [&json](const QString& key) -> std::optional<CacheEntry> {
                try {
                    return json.required<CacheEntry>(key);
                } catch (const JsonError&) {
                    return std::nullopt;
                }
            });
        read.reserve(keys.size());
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (!entries.at(i))
                return; // one damaged entry and the file is not trusted at all
            read.insert(keys.at(i), *entries.at(i));
        }
    } catch (const JsonError&) {
        // A damaged file is not trusted at all; the next store replaces it.
        return;
    }
    const qsizetype total = read.size();
    for (auto entry = read.begin(); entry != read.end();) {
        if (isFresh(*entry)) {
            ++entry;
        } else {
            content.remove(entry.key());
            entry = read.erase(entry);
        }
    }
    const qsizetype kept = read.size();
    {
        std::unique_lock lock(mutex_);
        entries_ = std::move(read);
        stored_ = std::move(content);
    }
    logLine(QStringLiteral("💾"), QStringLiteral("APIService"),
        QStringLiteral("Loaded %1 cached responses from disk (discarded %2 expired)").arg(kept).arg(total - kept));
}
