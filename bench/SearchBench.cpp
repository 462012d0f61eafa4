// The search overlay on the sample catalogue, offscreen: the GUI-thread cost of each keystroke
// of a 12-character query typed at 10 characters a second (against the same keystrokes into a
// bare QLineEdit), the search requests that typing sends, and the time from the debounce firing
// to the painted results of a query whose posters are cached (against curl sending the same
// search to the same catalogue). Run by bench/search-bench.sh.
//
//   search-bench <test-data-folder> [runs]

#include "BenchCatalogue.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Async.h"
#include "foundation/Config.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/Http.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/GhostTextField.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sample-catalogue/SampleCatalogue.h>

#include <algorithm>
#include <ctime>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

const QString kTyped = QStringLiteral("rooftop dusk"); // 12 characters
const QString kCachedQuery = QStringLiteral("ocean");
constexpr int kKeyGapMs = 100;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// CPU time of the calling thread, in milliseconds: what handling costs, whatever else the
// machine is busy with.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct KeyTimes {
    std::vector<double> wall;
    std::vector<double> cpu;

    void append(const KeyTimes& other)
    {
        wall.insert(wall.end(), other.wall.begin(), other.wall.end());
        cpu.insert(cpu.end(), other.cpu.begin(), other.cpu.end());
    }
};

// Milliseconds each keystroke takes to be handled on the GUI thread, typed one every kKeyGapMs.
KeyTimes typeTimed(QWidget* field, const QString& text)
{
    KeyTimes times;
    for (const QChar character : text) {
        QElapsedTimer clock;
        const double cpu = threadCpuMs();
        clock.start();
        QTest::keyClick(field, character.toLatin1());
        times.wall.push_back(clock.nsecsElapsed() / 1e6);
        times.cpu.push_back(threadCpuMs() - cpu);
        QTest::qWait(kKeyGapMs);
    }
    return times;
}

double maximum(const std::vector<double>& values) { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }

bool waitFor(const std::function<bool()>& condition, int ms = 20'000) { return QTest::qWaitFor(condition, ms); }

bool allPostersShown(SearchOverlayView& view)
{
    const auto& results = view.search().results();
    return !results.isEmpty() && std::all_of(results.begin(), results.end(), [&](const WallpaperModel& wallpaper) {
        auto* card = qobject_cast<PosterCardView*>(view.grid()->cellForKey(wallpaper.id));
        return !card || card->hasPoster(); // cells beyond the margin are not made
    });
}

// curl's total time for the same search, in milliseconds.
double curlSearchMs(const samplecatalogue::SampleCatalogue& catalogue, const QString& query)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
        QStringLiteral("-w"), QStringLiteral("%{time_total}"), QStringLiteral("--cacert"), catalogue.options().certificateFile,
        QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + catalogue.options().bearerKey, QStringLiteral("-H"),
        QStringLiteral("Content-Type: application/json"), QStringLiteral("-d"),
        QStringLiteral("{\"query\":\"%1\"}").arg(query), catalogue.backendUrl() + QStringLiteral("/search-wallpapers")});
    if (!curl.waitForFinished(20'000))
        return -1;
    return curl.readAllStandardOutput().toDouble() * 1000;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: search-bench <test-data-folder> [runs]\n");
        return 2;
    }
    const QString data = args[0];
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;

    QTemporaryDir root;
    Paths::Override paths(root.path());
    BenchCatalogue backend(data, "search-bench");
    if (!backend.isRunning())
        return 1;
    samplecatalogue::SampleCatalogue& catalogue = backend.server();
    APIService api;
    Shared<APIService>::Override apiOverride(api);
    HomePageService home(api);
    AppStore store(api, home, Delays::real());
    Shared<AppStore>::Override storeOverride(store);
    bool loaded = false;
    fireAndForget([](AppStore& s, bool& done) -> QCoro::Task<> {
        co_await s.initializeIfNeeded();
        co_await s.loadCategoriesIfNeeded();
        done = true;
    }(store, loaded));
    if (!waitFor([&] { return loaded && store.baseUrl(); })) {
        std::fprintf(stderr, "search-bench: the catalogue's statistics did not load\n");
        return 1;
    }

    QWidget window;
    window.resize(1200, 800);
    window.show();
    SearchOverlayService service;
    BrowseContext context;
    SearchOverlayHost host(service, &context, &window);
    const auto open = [&]() -> SearchOverlayView& {
        service.setPresented(false);
        service.setSearchQuery(QString());
        service.setPresented(true);
        return *host.view();
    };

    // Keystrokes: the overlay against a bare line edit, the same text at the same pace.
    KeyTimes ours;
    KeyTimes bare;
    int searches = 0;
    for (int run = 0; run < runs; ++run) {
        SearchOverlayView& view = open();
        const int before = catalogue.requestCount(QStringLiteral("/functions/v1/search-wallpapers"));
        ours.append(typeTimed(view.searchBox()->field(), kTyped));
        QTest::qWait(DebouncedSearch::kDebounceMs + 1'000);
        waitFor([&] { return !view.search().isLoading(); });
        searches = std::max(searches, catalogue.requestCount(QStringLiteral("/functions/v1/search-wallpapers")) - before);
        QLineEdit line(&window);
        line.show();
        bare.append(typeTimed(&line, kTyped));
    }

    // A query whose posters are cached: from the debounce firing to the painted grid.
    {
        SearchOverlayView& view = open();
        view.searchBox()->setText(kCachedQuery);
        waitFor([&] { return allPostersShown(view); });
    }
    std::vector<double> painted;
    std::vector<double> curl;
    for (int run = 0; run < runs; ++run) {
        SearchOverlayView& view = open();
        QElapsedTimer clock;
        QObject::connect(&view.search(), &DebouncedSearch::isLoadingChanged, &view, [&clock](bool loading) {
            if (loading)
                clock.start();
        });
        view.searchBox()->setText(kCachedQuery);
        if (!waitFor([&] { return clock.isValid() && allPostersShown(view); })) {
            std::fprintf(stderr, "search-bench: the cached results never showed\n");
            return 1;
        }
        view.window()->grab(); // the whole window painted with the results
        painted.push_back(clock.nsecsElapsed() / 1e6);
        curl.push_back(curlSearchMs(catalogue, kCachedQuery));
    }

    std::printf("keystroke_median_ms %.3f\n", median(ours.wall));
    std::printf("keystroke_max_ms %.3f\n", maximum(ours.wall));
    std::printf("keystroke_cpu_max_ms %.3f\n", maximum(ours.cpu));
    std::printf("lineedit_keystroke_median_ms %.3f\n", median(bare.wall));
    std::printf("lineedit_keystroke_max_ms %.3f\n", maximum(bare.wall));
    std::printf("lineedit_keystroke_cpu_max_ms %.3f\n", maximum(bare.cpu));
    std::printf("search_requests_per_typed_query %d\n", searches);
    std::printf("cached_results_painted_ms %.1f\n", median(painted));
    std::printf("curl_search_ms %.1f\n", median(curl));
    return 0;
}
