#pragma once

#include "backend/WallpaperResponseItem.h"
#include "state/ExplorePageSection.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>

#include <stop_token>

class APIService;
class Clock;

// The Explore page: its four curated rows, loaded in one concurrent pass and kept for the run
// (until the memory clearing resets them), and the "Discover" strip of up to six random
// wallpapers that the library screen shows. GUI thread; one shared instance kept until exit.
class ExplorePageService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<ExplorePageSection> sections READ sections NOTIFY sectionsChanged)
    Q_PROPERTY(bool isLoaded READ isLoaded NOTIFY isLoadedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QList<WallpaperResponseItem> discoverWallpapers READ discoverWallpapers NOTIFY discoverWallpapersChanged)

public:
    static inline const QString kDiscoverTitle = QStringLiteral("Discover Community Wallpapers");
    static constexpr qsizetype kDiscoverCount = 6;

    // Uses the shared backend client and the system clock (the seed of the random row).
    explicit ExplorePageService(QObject* parent = nullptr);
    explicit ExplorePageService(APIService& api, QObject* parent = nullptr);
    ExplorePageService(APIService& api, const Clock& clock, QObject* parent = nullptr);

    static ExplorePageService& shared();

    // Loads the four rows at once unless the page is loaded or loading. Publishes nothing when a
    // row fails: the rows still loading are cancelled, and the first failure in row order is
    // rethrown once every request has ended.
    // Each load picks a new seed for the random row; the row's section carries it.
    QCoro::Task<> loadExplorePage();
    // Fills the Discover strip when it is empty: from the loaded Discover row, else from the
    // backend. Never fails; a failed request leaves the strip empty and prints a line.
    QCoro::Task<> refreshDiscoverSection();
    // Forgets the rows so the next load fetches them again; the Discover strip stays.
    void reset();

    const QList<ExplorePageSection>& sections() const { return sections_; }
    bool isLoaded() const { return isLoaded_; }
    bool isLoading() const { return isLoading_; }
    const QList<WallpaperResponseItem>& discoverWallpapers() const { return discoverWallpapers_; }

Q_SIGNALS:
    void sectionsChanged();
    void isLoadedChanged();
    void isLoadingChanged();
    void discoverWallpapersChanged();

private:
    // The request of the row at `index` in display order, with its log lines.
    QCoro::Task<QList<WallpaperResponseItem>> fetchRow(int index, qint64 seed, std::stop_token stop);
    void publish(const QList<QList<WallpaperResponseItem>>& results, qint64 seed);
    void setSections(QList<ExplorePageSection> sections);
    void setLoaded(bool loaded);
    void setLoading(bool loading);
    void setDiscoverWallpapers(QList<WallpaperResponseItem> wallpapers);
    const ExplorePageSection* discoverSection() const;

    APIService& api_;
    const Clock& clock_;
    QList<ExplorePageSection> sections_;
    bool isLoaded_ = false;
    bool isLoading_ = false;
    QList<WallpaperResponseItem> discoverWallpapers_;
};
