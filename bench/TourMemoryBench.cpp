// What a tour of the main window leaves behind, measured by bench/tour-memory.sh: the application
// started as main() starts it (the same launch sequence, against the sample catalogue that the
// QUORVELLE_* variables name), driven by clicks as a user would: the home page painted with its
// posters, then every tab in turn, then the full-screen page of `previews` poster cards of the
// Explore grid, each left open until its preview plays, then Home again. Prints the resident memory
// and thread count of the process at the first Home, after each tab, and back on Home once the
// tour has settled.
//
//   tour-memory-bench [previews] [settle seconds]     (defaults 10 and 10)
#include "BenchWait.h"
#include "app/AppRootView.h"
#include "app/MainWindow.h"
#include "app/VideoWallpaperApp.h"
#include "foundation/Config.h"
#include "platform/Http.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeView.h"
#include "screens/detail/FullScreenView.h"
#include "state/HomePageService.h"
#include "ui/AppTab.h"
#include "ui/PosterCardView.h"
#include "ui/TopNavigationBar.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <clocale>
#include <cstdio>

namespace {

// A field of /proc/self/status ("VmRSS:" in KiB, "Threads:" a count).
long statusField(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

void report(const char* when)
{
    std::printf("%-24s rss_kb %ld threads %ld\n", when, statusField("VmRSS:"), statusField("Threads:"));
    std::fflush(stdout);
}

MainWindow* mainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<MainWindow*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Every card on screen has its poster.
bool postersPainted(const QWidget& page)
{
    for (const PosterCardView* card : page.findChildren<PosterCardView*>())
        if (card->isVisible() && !card->visibleRegion().isEmpty() && !card->hasPoster())
            return false;
    return true;
}

QList<PosterCardView*> cardsOnScreen(const QWidget& page)
{
    QList<PosterCardView*> cards;
    for (PosterCardView* card : page.findChildren<PosterCardView*>())
        if (card->isVisible() && !card->visibleRegion().isEmpty())
            cards.append(card);
    return cards;
}

void clickTab(TopNavigationBar& bar, AppTab tab)
{
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(tab).center().toPoint());
}

FullScreenView* openPage(const AppRootView& root)
{
    auto* page = qobject_cast<FullScreenView*>(root.wallpaperDestination());
    return page && page->isVisible() ? page : nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quorvelle"));
    QApplication::setQuitOnLastWindowClosed(false);
    const int previews = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 10;
    const int settleMs = (argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 10) * 1000;

    VideoWallpaperApp wallpaperApp(QApplication::arguments(), [](const QString&, const QHash<QString, QString>&) {});
    if (wallpaperApp.claimInstance()) {
        std::fprintf(stderr, "tour-memory-bench: another copy runs\n");
        return 1;
    }
    Http::shared().prepareTrust();
    wallpaperApp.launch();

    MainWindow* window = nullptr;
    AppRootView* root = nullptr;
    const bool home = benchWaitUntil(
        [&] {
            window = mainWindow();
            root = window ? window->findChild<AppRootView*>() : nullptr;
            auto* page = root ? root->findChild<HomeView*>() : nullptr;
            return page && page->isVisible() && !HomePageService::shared().isShowingLoader() && postersPainted(*page);
        },
        120'000);
    if (!home || !root->tabBar()) {
        std::fprintf(stderr, "tour-memory-bench: the home page never showed its posters\n");
        return 1;
    }
    TopNavigationBar& bar = *root->tabBar();
    QTest::qWait(settleMs);
    report("first_home");

    for (const AppTab tab : AppTabs::all()) {
        if (tab == AppTab::Home)
            continue;
        clickTab(bar, tab);
        QTest::qWait(3000); // the page loads and paints what it shows
        report(qPrintable(QStringLiteral("tab_") + AppTabs::title(tab).toLower()));
    }

    clickTab(bar, AppTab::Explore);
    auto* explore = root->findChild<ExploreView*>();
    if (!explore || !benchWaitUntil([&] { return !cardsOnScreen(*explore).isEmpty(); }, 30'000)) {
        std::fprintf(stderr, "tour-memory-bench: Explore showed no cards\n");
        return 1;
    }
    for (int i = 0; i < previews; ++i) {
        const QList<PosterCardView*> cards = cardsOnScreen(*explore);
        PosterCardView* card = cards.at(i % cards.size());
        QTest::mouseClick(card, Qt::LeftButton, {}, card->rect().center());
        if (!benchWaitUntil([&] { return openPage(*root) != nullptr; }, 10'000)) {
            std::fprintf(stderr, "tour-memory-bench: card %d opened no full-screen page\n", i);
            return 1;
        }
        QTest::qWait(4000); // the preview starts and plays a while
        openPage(*root)->dismiss();
        if (!benchWaitUntil([&] { return openPage(*root) == nullptr; }, 10'000)) {
            std::fprintf(stderr, "tour-memory-bench: full-screen page %d did not close\n", i);
            return 1;
        }
        QTest::qWait(500);
    }
    report("after_previews");

    clickTab(bar, AppTab::Home);
    QTest::qWait(settleMs);
    report("home_after_tour");
    return 0;
}
