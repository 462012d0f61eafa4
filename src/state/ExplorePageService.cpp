#include "state/ExplorePageService.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/Text.h"
#include "state/AssignChanged.h"
#include "state/WallpaperListQuery.h"

#include <QElapsedTimer>
#include <QPointer>

#include <array>

namespace {
const QString kType = QStringLiteral("ExplorePageService");

// One curated row: the name its log lines use, its texts and its request (get-wallpapers with
// a mode, or the Monochrome category by latest).
struct ExploreRow {
    QString name;
    QString title;
    QString subtitle;
    qint64 rows;
    std::optional<QString> mode;
    qint64 limit;
};

constexpr qint64 kMonochromeCategory = 99;
const QString kMonochromeSort = QStringLiteral("latest");

// In display order.
const std::array<ExploreRow, 4> kRows{{
    {QStringLiteral("Latest"), QStringLiteral("Latest Wallpapers"),
        QStringLiteral("Browse the newest additions to our collection"), 2, QStringLiteral("recent"), 6},
    {QStringLiteral("Popular"), QStringLiteral("Most Popular Wallpapers"),
        QStringLiteral("Trending wallpapers loved by the community"), 1, QStringLiteral("download"), 15},
    {QStringLiteral("Discover"), ExplorePageService::kDiscoverTitle, QStringLiteral("Random wallpapers to discover"), 2,
        QStringLiteral("random"), 6},
    {QStringLiteral("Monochrome"), QStringLiteral("Monochrome Wallpapers"), QStringLiteral("Black and white wallpapers"),
        2, std::nullopt, 6},
}};

void logInfo(const QString& message) { logLine(QStringLiteral("🔵"), kType, message); }
void logDone(const QString& message) { logLine(QStringLiteral("✅"), kType, message); }

QString sectionPrefix(const ExploreRow& row) { return QStringLiteral("[") + row.name + QStringLiteral(" Section] "); }

// A row is the head of the full list of its mode; only one in random order takes the load's seed.
std::optional<qint64> seedFor(const ExploreRow& row, qint64 seed)
{
    const WallpaperListQuery fullList{WallpaperListQuery::kExploreSectionId, row.mode, {}, {}};
    return fullList.isSeeded() ? std::optional(seed) : std::nullopt;
}

QList<WallpaperResponseItem> discoverStrip(const QList<WallpaperResponseItem>& items)
{
    return items.first(std::min(items.size(), ExplorePageService::kDiscoverCount));
}
} // namespace

ExplorePageService::ExplorePageService(QObject* parent) : ExplorePageService(APIService::shared(), parent) {}

ExplorePageService::ExplorePageService(APIService& api, QObject* parent)
    : ExplorePageService(api, Clock::system(), parent)
{
}

ExplorePageService::ExplorePageService(APIService& api, const Clock& clock, QObject* parent)
    : QObject(parent), api_(api), clock_(clock)
{
}

ExplorePageService& ExplorePageService::shared() { return Shared<ExplorePageService>::instance(); }

QCoro::Task<> ExplorePageService::loadExplorePage()
{
    if (isLoaded_) {
        logInfo(QStringLiteral("Already loaded, skipping..."));
        co_return;
    }
    if (isLoading_) {
        logInfo(QStringLiteral("Already loading, skipping..."));
        co_return;
    }
    logInfo(QStringLiteral("===== Starting loadExplorePage ====="));
    setLoading(true);
    logInfo(QStringLiteral("Starting concurrent API calls for all 4 sections..."));

    const qint64 seed = WallpaperListQuery::freshSeed(clock_);
    // Tasks start at once, so the four transfers overlap; they are awaited in row order. Once
    // one has failed the page cannot be shown, so the others are cancelled.
    std::stop_source cancel;
    const std::stop_token stop = cancel.get_token();
    std::array<QCoro::Task<QList<WallpaperResponseItem>>, kRows.size()> requests{
        fetchRow(0, seed, stop), fetchRow(1, seed, stop), fetchRow(2, seed, stop), fetchRow(3, seed, stop)};
    QPointer<ExplorePageService> self(this);
    QList<QList<WallpaperResponseItem>> results;
    std::exception_ptr failure;
    for (auto& request : requests) {
        try {
            results.append(co_await std::move(request));
        } catch (...) {
            // Every request is still awaited, so none outlives the call; the first failure wins.
            if (!failure)
                failure = std::current_exception();
            cancel.request_stop();
        }
    }
    if (!self)
        co_return;
    if (failure) {
        setLoading(false);
        std::rethrow_exception(failure);
    }
    publish(results, seed);
}

QCoro::Task<QList<WallpaperResponseItem>> ExplorePageService::fetchRow(int index, qint64 seed, std::stop_token stop)
{
    const ExploreRow& row = kRows.at(index);
    QElapsedTimer elapsed;
    elapsed.start();
    const QString prefix = sectionPrefix(row);
    QList<WallpaperResponseItem> items;
    if (row.mode) {
        logInfo(prefix + QStringLiteral("Fetching endpoint: get-wallpapers"));
        logInfo(prefix + QStringLiteral("Parameters: mode='") + *row.mode + QStringLiteral("', limit=")
                + QString::number(row.limit) + QStringLiteral(", page=1"));
        items = co_await api_.getWallpapers(*row.mode, row.limit, 1, std::nullopt, seedFor(row, seed), std::move(stop));
    } else {
        logInfo(prefix + QStringLiteral("Fetching endpoint: get-wallpapers-by-category"));
        logInfo(prefix + QStringLiteral("Parameters: category=") + QString::number(kMonochromeCategory)
                + QStringLiteral(", limit=") + QString::number(row.limit) + QStringLiteral(", page=1, sort_by=")
                + kMonochromeSort);
        items = co_await api_.getWallpapersByCategory(kMonochromeCategory, row.limit, 1, kMonochromeSort, std::nullopt,
                                                      std::move(stop));
    }
    logDone(prefix + QStringLiteral("Loaded ") + QString::number(items.size()) + QStringLiteral(" wallpapers in ")
            + Text::format("%.2f", static_cast<double>(elapsed.nsecsElapsed()) / 1e6) + QStringLiteral("ms"));
    co_return items;
}

void ExplorePageService::publish(const QList<QList<WallpaperResponseItem>>& results, qint64 seed)
{
    logDone(QStringLiteral("All sections loaded - Latest: ") + QString::number(results.at(0).size())
            + QStringLiteral(", Popular: ") + QString::number(results.at(1).size()) + QStringLiteral(", Discover: ")
            + QString::number(results.at(2).size()) + QStringLiteral(", Monochrome: ")
            + QString::number(results.at(3).size()));
    QList<ExplorePageSection> built;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const ExploreRow& row = kRows.at(i);
        const QList<WallpaperResponseItem>& items = results.at(i);
        if (items.isEmpty()) {
            logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Section '") + row.title + QStringLiteral("' is empty"));
            continue;
        }
        logDone(QStringLiteral("Section '") + row.title + QStringLiteral("' ready - ") + QString::number(items.size())
                + QStringLiteral(" items"));
        built.append(ExplorePageSection{
            QUuid::createUuid(), row.title, row.subtitle, items, row.rows, std::nullopt, seedFor(row, seed)});
    }
    setSections(std::move(built));
    if (const ExplorePageSection* discover = discoverSection())
        setDiscoverWallpapers(discoverStrip(discover->wallpapers));
    setLoaded(true);
    setLoading(false);
    logDone(QStringLiteral("===== loadExplorePage completed - Total sections: ") + QString::number(sections_.size())
            + QStringLiteral(" ====="));
}

QCoro::Task<> ExplorePageService::refreshDiscoverSection()
{
    if (!discoverWallpapers_.isEmpty())
        co_return;
    if (const ExplorePageSection* discover = discoverSection(); discover && !discover->wallpapers.isEmpty()) {
        setDiscoverWallpapers(discoverStrip(discover->wallpapers));
        co_return;
    }
    QPointer<ExplorePageService> self(this);
    QList<WallpaperResponseItem> items;
    try {
        items = co_await api_.getWallpapers(QStringLiteral("random"), kDiscoverCount, 1);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to fetch Discover wallpapers: ") + describeError(error));
        co_return;
    }
    if (self)
        setDiscoverWallpapers(std::move(items));
}

void ExplorePageService::reset()
{
    setSections({});
    setLoaded(false);
    setLoading(false);
}

const ExplorePageSection* ExplorePageService::discoverSection() const
{
    for (const ExplorePageSection& section : sections_) {
        if (section.title == kDiscoverTitle)
            return &section;
    }
    return nullptr;
}

void ExplorePageService::setSections(QList<ExplorePageSection> sections)
{
    if (sections.isEmpty() && sections_.isEmpty())
        return;
    // Sections carry fresh ids, so a new list is always a change.
    sections_ = std::move(sections);
    Q_EMIT sectionsChanged();
}

void ExplorePageService::setLoaded(bool loaded)
{
    if (assignChanged(isLoaded_, loaded))
        Q_EMIT isLoadedChanged();
}

void ExplorePageService::setLoading(bool loading)
{
    if (assignChanged(isLoading_, loading))
        Q_EMIT isLoadingChanged();
}

void ExplorePageService::setDiscoverWallpapers(QList<WallpaperResponseItem> wallpapers)
{
    discoverWallpapers_ = std::move(wallpapers);
    Q_EMIT discoverWallpapersChanged();
}
