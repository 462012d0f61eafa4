#pragma once

#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <stop_token>

class APIService;
class AppStore;

// The catalogue search behind the search overlay. Every edit of the query cancels the pending
// search; a trimmed query of at least four characters is sent once it has rested for the
// debounce delay and still reads the same, and its answer replaces the results only while it
// still does. Only the newest search touches the results and the loading flag: a cancelled or
// superseded one, failed or not, ends with its log line and leaves them as they are.
// GUI thread; owned by the overlay, which ends every search when it goes.
class DebouncedSearch : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinimumQueryLength = 4; // characters of the trimmed query
    static constexpr int kDebounceMs = 500;

    // How the newest search ended, for what the overlay says besides the grid.
    enum class Outcome {
        Idle,      // no search yet, a query too short, or one still waiting for its answer
        Found,     // the results are on screen
        NoResults, // the catalogue answered with nothing
        Failed,    // see failure()
    };

    // `currentText` reads the live query text (untrimmed).
    DebouncedSearch(std::function<QString()> currentText, APIService& api, AppStore& store, QObject* parent = nullptr);
    ~DebouncedSearch() override;

    const QList<WallpaperModel>& results() const { return results_; }
    bool isLoading() const { return isLoading_; }
    // A search is waiting for its delay or for its answer.
    bool isPending() const { return pending_; }
    Outcome outcome() const { return outcome_; }
    // The error's text of a failed search.
    const QString& failure() const { return failure_; }
    // The query the outcome is about, trimmed.
    const QString& answeredQuery() const { return answeredQuery_; }

    // The query text changed.
    void queryChanged();
    // Ends any search and empties the results (the overlay closes).
    void reset();

    // Canonically equivalent texts count as the same query.
    static bool isSameQuery(const QString& a, const QString& b);

Q_SIGNALS:
    void resultsChanged();
    void isLoadingChanged(bool loading);
    void outcomeChanged();

private:
    static QCoro::Task<> run(QPointer<DebouncedSearch> self, QString query, std::stop_token stop, quint64 generation);
    bool isNewest(const std::stop_token& stop, quint64 generation) const;
    void show(const QList<WallpaperModel>& results);
    void setLoading(bool loading);
    void setOutcome(Outcome outcome, const QString& query = {}, const QString& failure = {});

    std::function<QString()> currentText_;
    APIService& api_;
    AppStore& store_;
    QList<WallpaperModel> results_;
    bool isLoading_ = false;
    bool pending_ = false;
    Outcome outcome_ = Outcome::Idle;
    QString failure_;
    QString answeredQuery_;
    std::stop_source stop_;
    quint64 generation_ = 0;
};
