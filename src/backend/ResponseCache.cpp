#include "backend/ResponseCache.h"

#include "backend/QueryItem.h"
#include "backend/Utf8.h"
#include "foundation/Clock.h"
#include "foundation/DamagedFile.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonSalvage.h"
#include "foundation/Log.h"
#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <QUrl>

#include <algorithm>
#include <mutex>
#include <utility>

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

ResponseCache::~ResponseCache() { writer_.waitForFinished(); }

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

void ResponseCache::save()
{
    if (filePath_.isEmpty())
        return;
    std::lock_guard lock(writeMutex_);
    changed_ = true;
    if (std::exchange(writing_, true))
        return; // the running job writes this change too
    writer_ = QtConcurrent::run([this] { writeWhileChanged(); });
}

void ResponseCache::writeWhileChanged()
{
    for (;;) {
        {
            std::lock_guard lock(writeMutex_);
            if (!std::exchange(changed_, false)) {
                writing_ = false;
                return;
            }
        }
        QJsonObject content;
        {
            std::shared_lock lock(mutex_);
            content = stored_;
        }
        // Written beside the old file and renamed over it, so a crash never leaves half a cache.
        // A failed write is not worth a word: the next change tries again.
        QSaveFile file(filePath_);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QJsonDocument(content).toJson(QJsonDocument::Compact));
            file.commit();
        }
    }
}

void ResponseCache::load()
{
    if (filePath_.isEmpty())
        return;
    using Outcome = signalry::AtomicFile::Contents::Outcome;
    const signalry::AtomicFile::Contents contents = signalry::AtomicFile::read(filePath_, kMaximumFileBytes);
    if (contents.outcome == Outcome::TooLarge) {
        logLine(QStringLiteral("⚠️"), QStringLiteral("APIService"),
            QStringLiteral("Response cache %1 is too large (%2)").arg(filePath_, contents.error));
        keepAside(0);
        return;
    }
    // Not written yet, or not readable now: the cache starts empty.
    if (contents.outcome != Outcome::Read)
        return;
    const QByteArray& bytes = contents.data;
    QJsonObject content;
    bool damaged = false;
    try {
        content = JsonReader::parse(bytes).as<QJsonObject>();
    } catch (const JsonError&) {
        content = JsonSalvage::objectEntries(bytes);
        damaged = true;
    }
    const JsonReader json{QJsonValue(content)};
    const QStringList keys = content.keys();
    // Decoding the bodies from Base64 is most of the work of a large file: it is spread over
    // the cores. Reading a shared JSON object from several threads is safe.
    const QList<std::optional<CacheEntry>> entries = QtConcurrent::blockingMapped(keys,
        [&json](const QString& key) -> std::optional<CacheEntry> {
            try {
                return json.required<CacheEntry>(key);
            } catch (const JsonError&) {
                return std::nullopt;
            }
        });
    QHash<QString, CacheEntry> read;
    read.reserve(keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (entries.at(i))
            read.insert(keys.at(i), *entries.at(i));
        else
            damaged = true;
    }
    const qsizetype total = read.size();
    read.removeIf([this](const auto& entry) { return !isFresh(entry.value()); });
    // Only what decoded and is fresh goes back into the file.
    for (const QString& key : keys) {
        if (!read.contains(key))
            content.remove(key);
    }
    const qsizetype kept = read.size();
    {
        std::unique_lock lock(mutex_);
        entries_ = std::move(read);
        stored_ = std::move(content);
    }
    logLine(QStringLiteral("💾"), QStringLiteral("APIService"),
        QStringLiteral("Loaded %1 cached responses from disk (discarded %2 expired)").arg(kept).arg(total - kept));
    if (damaged)
        keepAside(kept);
}

void ResponseCache::keepAside(qsizetype kept)
{
    const std::optional<QString> aside = DamagedFile::moveAside(filePath_);
    logLine(QStringLiteral("⚠️"), QStringLiteral("APIService"),
        aside ? QStringLiteral("Damaged response cache %1 moved to %2; kept %3 entries").arg(filePath_, *aside).arg(kept)
              : QStringLiteral("Damaged response cache %1 could not be moved aside; it is replaced").arg(filePath_));
    std::unique_lock lock(mutex_);
    save();
}
