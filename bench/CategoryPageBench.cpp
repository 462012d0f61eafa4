// The category page against the sample catalogue, offscreen, with every poster in the image cache:
// (1) opening a category whose first page is in the backend client's response cache, from the
// push of the page to its grid painted with cards, against the same 20 cards made and painted in
// a bare lazy grid (the reference); (2) scrolling a category of 300 wallpapers step by step
// (scroll, cells made and dropped, layout, paint of what the step made dirty), against the same
// 300 cards in a bare lazy grid. Run by bench/category-page-bench.sh.
//
//   category-page-bench [opens] [steps]
#include "BenchCatalogue.h"
#include "BenchPosters.h"
#include "backend/APIService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Clock.h"
#include "foundation/Config.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/Http.h"
#include "screens/browse/CategoryDetailView.h"
#include "state/AppStore.h"
#include "state/ExploreWallpapersService.h"
#include "state/HomePageService.h"
#include "support/TaskWait.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/NavigationHost.h"
#include "ui/PosterCardView.h"

#include <sample-catalogue/SampleCatalogue.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {
constexpr int kCategory = 7;
constexpr int kWallpapers = 300;
const QSize kWindow(1280, 800);

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * share))];
}

void report(const char* label, const std::vector<double>& ms)
{
    if (ms.empty()) {
        std::printf("%-26s no steps\n", label);
        return;
    }
    const long over = std::count_if(ms.begin(), ms.end(), [](double value) { return value > 16.0; });
    std::printf("%-26s median %6.2f ms  p95 %6.2f ms  max %6.2f ms  over 16 ms: %ld of %zu\n", label,
        percentile(ms, 0.5), percentile(ms, 0.95), percentile(ms, 1.0), over, ms.size());
}

// The stock catalogue with its Gaming category grown to 300 wallpapers.
QString seedWith300(const QString& folder)
{
    QFile stock(QStringLiteral(QUORVELLE_SOURCE_DIR "/tools/sample-catalogue/seed.json"));
    stock.open(QIODevice::ReadOnly);
    QJsonObject seed = QJsonDocument::fromJson(stock.readAll()).object();
    QJsonArray wallpapers = seed.value(QLatin1String("wallpapers")).toArray();
    for (int i = 0; i < kWallpapers; ++i) {
        wallpapers.append(QJsonObject{{"key", qint64(1719000000000) + i}, {"title", QStringLiteral("Arcade %1").arg(i)},
            {"downloads", i}, {"creator", "bench"}, {"likes", i}, {"category_id", kCategory}, {"resolution_width", 1920},
            {"resolution_height", 1080}, {"file_size", 1000000}, {"duration_seconds", 10},
            {"created_at", QStringLiteral("2024-03-%1T10:00:00Z").arg(i % 28 + 1, 2, 10, QLatin1Char('0'))}});
    }
    seed.insert(QStringLiteral("wallpapers"), wallpapers);
    const QString path = folder + QStringLiteral("/seed.json");
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(QJsonDocument(seed).toJson());
    return path;
}

void run(QCoro::Task<> task) { waitForTask(std::move(task)); }

// Every wallpaper of the category, converted as the page converts them, posters in the cache.
QList<WallpaperModel> cachePosters(ExploreWallpapersService& lists, const WallpaperListQuery& query, AppStore& store)
{
    QList<WallpaperModel> models;
    int index = 0;
    const ExploreWallpapersCacheData held = *lists.list(query);
    for (const WallpaperResponseItem& item : held.loadedWallpapers) {
        models.append(item.toWallpaperModel(store.baseUrl(), QStringLiteral("Gaming")));
        WallpaperImageCache::shared().store(benchPoster(index++, true), *models.last().posterUrl);
    }
    WallpaperImageCache::shared().waitForDiskWrites();
    return models;
}

bool gridShowsCards(LazyGridView& grid)
{
    const auto cards = grid.findChildren<PosterCardView*>();
    return !cards.isEmpty() && std::all_of(cards.begin(), cards.end(), [](PosterCardView* card) { return card->hasPoster(); });
}

// A bare scroll area around a lazy grid of the given cards, as the reference.
struct BareGrid {
    explicit BareGrid(const QList<WallpaperModel>& models, BrowseContext& context) : models_(models)
    {
        area.setWidgetResizable(true);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.resize(kWindow);
        grid = new LazyGridView;
        grid->setColumns(3);
        grid->setSpacing(24, 24);
        grid->setCellFactory([this, &context](int index) { return new PosterCardView(models_.at(index), {}, &context); });
        QList<QUuid> keys;
        for (const WallpaperModel& model : models_)
            keys.append(model.id);
        grid->setKeys(keys);
        area.setWidget(grid);
    }
    QList<WallpaperModel> models_;
    QScrollArea area;
    LazyGridView* grid;
};

std::vector<double> scroll(QScrollArea& area, int steps)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QTest::qWait(50);
    std::vector<double> stepsMs;
    QScrollBar* bar = area.verticalScrollBar();
    const int stride = std::max(1, bar->maximum() / steps);
    for (int step = 1; step <= steps && bar->value() < bar->maximum(); ++step) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(std::min(bar->maximum(), step * stride));
        // What one frame does: the pending layouts, then the paint of what the step made dirty.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        stepsMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return stepsMs;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The pointer rests outside the window: no card under it starts its hover preview.
    QCursor::setPos(5000, 5000);
    const int opens = argc > 1 ? std::max(3, atoi(argv[1])) : 20;
    const int steps = argc > 2 ? std::max(10, atoi(argv[2])) : 600;

    QTemporaryDir folder;
    Paths::Override paths(folder.path());
    BenchCatalogue backend(QStringLiteral(QUORVELLE_TEST_DATA_DIR), "category-page-bench", [&](BenchCatalogue::Options& options) {
        options.seedFile = seedWith300(folder.path());
        options.mediaFolder = folder.filePath(QStringLiteral("media"));
    });
    if (!backend.isRunning())
        return 1;
    APIService api({backend.server().backendUrl(), backend.config().backendKey, QString()}, Clock::system(), Http::shared());
    HomePageService home(api);
    AppStore store(api, home, Delays::real());
    Shared<APIService>::Override apiOverride(api);
    Shared<AppStore>::Override storeOverride(store);
    run(store.initializeIfNeeded());
    run(store.loadCategoriesIfNeeded());

    BrowseContext context;
    context.setWindowSize(kWindow);
    const CategoryNavigationItem gaming = CategoryNavigationItem::named(kCategory, QStringLiteral("Gaming"));
    const WallpaperListQuery query{kCategory, std::nullopt, std::nullopt, QStringLiteral("latest")};

    // The whole list once: it warms the response cache for the first page and caches the posters.
    ExploreWallpapersService warm(api, Clock::system());
    run(warm.loadWallpapers(query));
    while (warm.canLoadMore(query))
        run(warm.loadNextPage(query));
    const QList<WallpaperModel> models = cachePosters(warm, query, store);
    std::printf("category of %lld wallpapers, posters cached\n", qlonglong(models.size()));

    // (1) Opening, each time with a service that holds no list, so the page asks for its first page.
    std::vector<double> openMs;
    std::vector<double> referenceMs;
    for (int i = 0; i < opens; ++i) {
        {
            ExploreWallpapersService lists(api, Clock::system());
            Shared<ExploreWallpapersService>::Override listsOverride(lists);
            NavigationHost host(new QWidget);
            host.resize(kWindow);
            host.show();
            (void)QTest::qWaitForWindowExposed(&host);
            QElapsedTimer timer;
            timer.start();
            auto* page = new CategoryDetailView(gaming, &context, {});
            host.push(page);
            while (!gridShowsCards(*page->grid()))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            host.repaint();
            openMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        {
            QElapsedTimer timer;
            timer.start();
            BareGrid bare(models.mid(0, 20), context);
            bare.area.show();
            while (!gridShowsCards(*bare.grid))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            bare.area.repaint();
            referenceMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    report("open: page (push->painted)", openMs);
    report("open: bare grid reference", referenceMs);
    std::printf("open ratio (median) %.2f, target under 150 ms\n", percentile(openMs, 0.5) / percentile(referenceMs, 0.5));

    // (2) Scrolling the 300 wallpapers: the reference first, then the page holding the whole list.
    {
        BareGrid bare(models, context);
        bare.area.show();
        (void)QTest::qWaitForWindowExposed(&bare.area);
        while (!gridShowsCards(*bare.grid))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        report("scroll: bare grid reference", scroll(bare.area, steps));
    }
    {
        Shared<ExploreWallpapersService>::Override listsOverride(warm);
        NavigationHost host(new QWidget);
        host.resize(kWindow);
        host.show();
        (void)QTest::qWaitForWindowExposed(&host);
        auto* page = new CategoryDetailView(gaming, &context, {});
        host.push(page);
        while (!gridShowsCards(*page->grid()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::printf("page grid holds %lld cards\n", qlonglong(page->grid()->keys().size()));
        report("scroll: category page", scroll(*page->scrollArea(), steps));
    }
    return 0;
}
