#include "screens/search/DebouncedSearch.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Text.h"
#include "state/AppStore.h"

#include <exception>
#include <optional>

namespace {
constexpr qsizetype kLoggedQueryPrefix = 20;
const QString kFallbackCategory = QStringLiteral("Category");

void log(const QString& message) { logLine(QStringLiteral("🔎"), QStringLiteral("SearchOverlay"), message); }
QString quoted(const QString& text) { return u'"' + text + u'"'; }
} // namespace

DebouncedSearch::DebouncedSearch(std::function<QString()> currentText, APIService& api, AppStore& store, QObject* parent)
    : QObject(parent), currentText_(std::move(currentText)), api_(api), store_(store)
{
}

DebouncedSearch::~DebouncedSearch() { stop_.request_stop(); }

bool DebouncedSearch::isSameQuery(const QString& a, const QString& b)
{
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

void DebouncedSearch::queryChanged()
{
    stop_.request_stop();
    ++generation_;
    pending_ = false;
    const QString query = Text::trimmed(currentText_());
    const qsizetype length = Text::graphemeCount(query);
    if (length < kMinimumQueryLength) {
        show({});
        setLoading(false);
        setOutcome(Outcome::Idle);
        log(QStringLiteral("Query length %1 < %2 — idle (no request)").arg(length).arg(kMinimumQueryLength));
        return;
    }
    // The results on screen stay until the new search replaces or clears them; a message about
    // the former query does not.
    if (outcome_ != Outcome::Found)
        setOutcome(Outcome::Idle);
    stop_ = std::stop_source();
    pending_ = true;
    fireAndForget(run(this, query, stop_.get_token(), generation_), QStringLiteral("SearchOverlay"));
}

void DebouncedSearch::reset()
{
    stop_.request_stop();
    ++generation_;
    pending_ = false;
    show({});
    setLoading(false);
    setOutcome(Outcome::Idle);
}

bool DebouncedSearch::isNewest(const std::stop_token& stop, quint64 generation) const
{
    return !stop.stop_requested() && generation == generation_;
}

QCoro::Task<> DebouncedSearch::run(QPointer<DebouncedSearch> self, QString query, std::stop_token stop, quint64 generation)
{
    log(QStringLiteral("Debounce timer started (1s) for query prefix: ") + Text::truncated(query, kLoggedQueryPrefix)
        + QStringLiteral("…"));
    if (!co_await sleepFor(kDebounceMs, stop)) {
        log(QStringLiteral("Debounce cancelled before firing"));
        co_return;
    }
    if (!self || stop.stop_requested()) {
        log(QStringLiteral("Task cancelled after debounce"));
        co_return;
    }
    const QString before = Text::trimmed(self->currentText_());
    if (!isSameQuery(before, query)) {
        log(QStringLiteral("Skipping stale request (query changed): was ") + quoted(query) + QStringLiteral(" now ")
            + quoted(before));
        co_return;
    }

    self->setLoading(true);
    log(QStringLiteral("Requesting search API for ") + quoted(query));
    QList<WallpaperResponseItem> items;
    std::optional<QString> failure;
    try {
        items = co_await self->api_.searchWallpapers(query, stop);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    // Cancellation and staleness come before the outcome: a superseded search, even a failed
    // one, must not empty the grid or end the loading of the search that replaced it.
    if (!self || !self->isNewest(stop, generation)) {
        log(QStringLiteral("Discarding response (cancelled)"));
        co_return;
    }
    self->pending_ = false;
    if (!isSameQuery(Text::trimmed(self->currentText_()), query)) {
        log(QStringLiteral("Discarding response (query changed since request)"));
        self->setLoading(false);
        co_return;
    }
    if (failure) {
        self->show({});
        log(QStringLiteral("Request failed: ") + *failure);
        self->setOutcome(Outcome::Failed, query, *failure);
        self->setLoading(false);
        co_return;
    }

    QList<WallpaperModel> results;
    results.reserve(items.size());
    const std::optional<QString> host = self->store_.baseUrl();
    for (const WallpaperResponseItem& item : items)
        results.append(item.toWallpaperModel(host, self->store_.categoryName(item.categoryId).value_or(kFallbackCategory)));
    self->show(results);
    log(QStringLiteral("Showing %1 wallpaper(s)").arg(self->results_.size()));
    self->setOutcome(results.isEmpty() ? Outcome::NoResults : Outcome::Found, query);
    self->setLoading(false);
}

void DebouncedSearch::show(const QList<WallpaperModel>& results)
{
    if (results.isEmpty() && results_.isEmpty())
        return;
    results_ = results;
    Q_EMIT resultsChanged();
}

void DebouncedSearch::setOutcome(Outcome outcome, const QString& query, const QString& failure)
{
    if (outcome == outcome_ && query == answeredQuery_ && failure == failure_)
        return;
    outcome_ = outcome;
    answeredQuery_ = query;
    failure_ = failure;
    Q_EMIT outcomeChanged();
}

void DebouncedSearch::setLoading(bool loading)
{
    if (loading == isLoading_)
        return;
    isLoading_ = loading;
    Q_EMIT isLoadingChanged(loading);
}
