#pragma once

#include "foundation/Clock.h"
#include "foundation/Shared.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "state/HomePageService.h"
#include "support/CatalogueSession.h"
#include "support/TaskWait.h"

#include <QJsonArray>
#include <QJsonObject>

// The browse pages' services as the application has them, shared, over a sample catalogue:
// the application state (statistics, asset host, categories), the explore rows and the paged
// lists. Analytics signals a page sends are recorded.
class BrowseSession {
public:
    static constexpr qint64 kGaming = 7;
    static constexpr qint64 kUnknownCategory = 42;
    static constexpr qint64 kFirstKey = 1719000000000;

    explicit BrowseSession(const CatalogueSession::SeedEdit& edit = {}) : catalogue(edit) {}

    // What the start of the application loads before the pages show.
    void start()
    {
        waitForTask(store.initializeIfNeeded());
        waitForTask(store.loadCategoriesIfNeeded());
    }

    // The stock catalogue plus `count` Gaming wallpapers, and two popular lock-screen wallpapers
    // of a category the catalogue does not list.
    static void addWallpapers(QJsonObject& seed, int count)
    {
        QJsonArray wallpapers = seed.value(QLatin1String("wallpapers")).toArray();
        for (int i = 0; i < count + 2; ++i) {
            const bool unknown = i >= count;
            wallpapers.append(QJsonObject{{"key", kFirstKey + i}, {"title", QStringLiteral("Arcade %1").arg(i)},
                {"downloads", unknown ? 1'000'000 + i : i}, {"creator", "sample"}, {"likes", i},
                {"category_id", unknown ? kUnknownCategory : kGaming}, {"resolution_width", 1920},
                {"resolution_height", 1080}, {"file_size", 1000000}, {"duration_seconds", 10},
                {"created_at", QStringLiteral("2024-03-%1T10:00:00Z").arg(i % 28 + 1, 2, 10, QLatin1Char('0'))},
                {"for_lockscreen", unknown}});
        }
        seed.insert(QStringLiteral("wallpapers"), wallpapers);
    }

    void send(const QString& name, const QHash<QString, QString>& parameters)
    {
        sent.append(name + QLatin1Char(':') + parameters.value(QStringLiteral("title")));
    }

    CatalogueSession catalogue;
    HomePageService home{catalogue.api()};
    AppStore store{catalogue.api(), home, Delays::real()};
    ExploreWallpapersService lists{catalogue.api(), Clock::system()};
    ExplorePageService explore{catalogue.api()};
    QStringList sent; // "name:title"

private:
    Shared<APIService>::Override api_{catalogue.api()};
    Shared<AppStore>::Override storeOverride_{store};
    Shared<ExploreWallpapersService>::Override listsOverride_{lists};
    Shared<ExplorePageService>::Override exploreOverride_{explore};
};
