// The main window against the sample catalogue that the QUORVELLE_* variables name, as a user
// meets it: the home page painted with posters, scrolled from top to bottom, then the Explore tab
// with its category chips. Then clicks between the Home and Explore tabs, each timed from the
// press to the new page painted. Run once on the stock catalogue and once on one whose titles,
// category names and section titles are 10 KB each (long-text-bench.sh), the two runs show what
// the length of catalogue text costs.
//
//   long-text-bench [clicks]     prints peak_rss_kb, rss_kb, click_median_ms and click_max_ms
#include "app/AppRootView.h"
#include "app/MainWindow.h"
#include "foundation/Async.h"
#include "platform/Http.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "ui/PosterCardView.h"
#include "ui/TopNavigationBar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>

namespace {

// A line of /proc/self/status, in KiB.
long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool homeWithPosters(const MainWindow& window)
{
    if (HomePageService::shared().isShowingLoader() || !window.findChild<HomeView*>())
        return false;
    for (const PosterCardView* card : window.findChildren<PosterCardView*>())
        if (card->isVisible() && !card->visibleRegion().isEmpty() && !card->hasPoster())
            return false;
    return true;
}

// Every part of the page comes on screen once and is painted there.
void scrollThrough(QScrollArea* scroll, QWidget* window)
{
    if (!scroll)
        return;
    QScrollBar* bar = scroll->verticalScrollBar();
    for (int value = 0; value <= bar->maximum() + scroll->viewport()->height(); value += scroll->viewport()->height() / 2) {
        bar->setValue(value);
        window->repaint();
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    bar->setValue(0);
}

// The page's own scroll area, or the one around it.
QScrollArea* scrollAreaOf(QWidget* page)
{
    for (QWidget* ancestor = page; ancestor; ancestor = ancestor->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(ancestor))
            return area;
    for (QScrollArea* area : page->findChildren<QScrollArea*>())
        if (area->isVisible() && area->verticalScrollBar()->maximum() > 0)
            return area;
    return nullptr;
}

// From the press on the tab to the window painted with its page.
double clickTab(MainWindow& window, TopNavigationBar& bar, AppTab tab)
{
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(tab).center().toPoint());
    QApplication::processEvents();
    window.repaint();
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int clicks = argc > 1 ? std::max(2, QString::fromLatin1(argv[1]).toInt()) : 20;

    QApplication::setQuitOnLastWindowClosed(false);
    Http::shared().prepareTrust();
    auto* window = new MainWindow();
    window->show();
    fireAndForget(AppStore::shared().initializeIfNeeded());
    if (!waitFor([&] { return homeWithPosters(*window); }, 120'000)) {
        std::fprintf(stderr, "long-text-bench: the home page never showed its posters\n");
        return 1;
    }
    auto* root = window->findChild<AppRootView*>();
    TopNavigationBar* bar = root ? root->tabBar() : nullptr;
    if (!bar) {
        std::fprintf(stderr, "long-text-bench: no tab bar\n");
        return 1;
    }
    scrollThrough(scrollAreaOf(window->findChild<HomeView*>()), window);
    clickTab(*window, *bar, AppTab::Explore);
    // Explore's chips and grid load, then the page is scrolled through as well.
    QTest::qWait(3000);
    if (auto* explore = window->findChild<ExploreView*>())
        scrollThrough(scrollAreaOf(explore), window);

    QList<double> times;
    for (int i = 0; i < clicks; ++i) {
        times.append(clickTab(*window, *bar, i % 2 == 0 ? AppTab::Home : AppTab::Explore));
        QTest::qWait(200); // a user's pace: fades and loads started by the click run between clicks
    }
    std::printf("click_times_ms =");
    for (const double time : times)
        std::printf(" %.1f", time);
    std::printf("\n");
    std::sort(times.begin(), times.end());
    std::printf("peak_rss_kb = %ld\nrss_kb = %ld\nclick_median_ms = %.1f\nclick_max_ms = %.1f\n", statusKb("VmHWM:"),
        statusKb("VmRSS:"), times.at(times.size() / 2), times.last());
    std::fflush(stdout);
    delete window;
    return 0;
}
