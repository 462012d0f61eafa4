// Scrolling the lazy grid through 1,000 poster cells whose pictures come from the disk cache, at
// 60 steps a second in an offscreen window, against the same cells all made up front (what a
// grid without laziness does). Each step scrolls, lets the grid make and drop cells, and repaints
// the window; its time is what a frame costs. Run by bench/lazy-grid-bench.sh.
//
//   lazy-grid-bench [steps]

#include "BenchPosters.h"
#include "engine/WallpaperImageCache.h"
#include "ui/CachedAsyncImage.h"
#include "ui/LazyGridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <algorithm>
#include <clocale>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCells = 1000;
constexpr int kColumns = 4;
constexpr int kSpacing = 24;
constexpr int kStepMs = 1000 / 60;

QUrl posterUrl(int index)
{
    return QUrl(QStringLiteral("https://assets.invalid/wallpaper/%1/poster.webp").arg(index));
}

void fillDiskCache(const QString& folder)
{
    WallpaperImageCache cache(folder);
    for (int i = 0; i < kCells; ++i) {
        const QImage poster = benchPoster(i, true);
        cache.store(poster, posterUrl(i));
        if (i % 50 == 49)
            cache.waitForDiskWrites(); // keeps the queued copies from piling up
    }
    cache.waitForDiskWrites();
}

// A poster card as the grids hold them: rounded, the picture or a dark placeholder.
class PosterCell : public QWidget {
public:
    PosterCell(int index, WallpaperImageCache& cache) : image_(new CachedAsyncImage(this, cache, {1, 1, 1}))
    {
        image_->setUrl(posterUrl(index));
    }
    static inline int painted = 0;
    static inline int withPicture = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 26, 26);
        painter.setClipPath(shape);
        ++painted;
        if (image_->paint(painter, rect()))
            ++withPicture;
        else
            painter.fillRect(rect(), QColor(0, 0, 0, 56));
    }

private:
    CachedAsyncImage* image_;
};

// CPU time of the GUI thread: on a machine shared with other work, wall time also counts the
// time the thread waited for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Run {
    std::vector<double> stepsMs;
    std::vector<double> cpuMs;
    int mostCells = 0;
    int mostWidgets = 0;
    int bound = 0;
    double pictureShare = 0;
};

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * share))];
}

Run scroll(bool lazy, int steps, WallpaperImageCache& cache)
{
    QScrollArea area;
    area.setWidgetResizable(true);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.resize(1280, 800);
    auto* grid = new LazyGridView;
    grid->setColumns(kColumns);
    grid->setSpacing(kSpacing, kSpacing);
    grid->setMarginLines(lazy ? 1 : kCells);
    grid->setCellFactory([&cache](int index) { return new PosterCell(index, cache); });
    QList<QUuid> keys;
    for (int i = 0; i < kCells; ++i)
        keys.append(QUuid::createUuid());
    grid->setKeys(keys);
    area.setWidget(grid);
    area.show();
    if (!QTest::qWaitForWindowExposed(&area))
        std::fprintf(stderr, "lazy-grid-bench: the window was not shown\n");
    QTest::qWait(200);

    Run run;
    const int rowPitch = grid->cellRect(kColumns).top();
    run.bound = (area.viewport()->height() / rowPitch + 2 + 2) * kColumns; // seen rows (+1 cut) and one each side
    QScrollBar* bar = area.verticalScrollBar();
    const int stride = std::max(1, bar->maximum() / steps);
    PosterCell::painted = PosterCell::withPicture = 0;
    QElapsedTimer clock;
    clock.start();
    for (int step = 1; step <= steps; ++step) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        bar->setValue(std::min(bar->maximum(), step * stride));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        area.repaint();
        run.stepsMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        run.cpuMs.push_back(threadCpuMs() - cpuStart);
        // The rest of the 60 Hz tick goes to the event loop: pictures decoded on workers arrive.
        while (clock.elapsed() < step * kStepMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        run.mostCells = std::max(run.mostCells, grid->liveCellCount());
        run.mostWidgets = std::max(run.mostWidgets, int(grid->findChildren<PosterCell*>().size()));
    }
    run.pictureShare = PosterCell::painted ? double(PosterCell::withPicture) / PosterCell::painted : 0;
    return run;
}

void report(const char* label, const char* clock, const std::vector<double>& ms)
{
    const long over = std::count_if(ms.begin(), ms.end(), [](double value) { return value > 16.0; });
    std::printf("%-6s %-4s median %5.2f ms  p95 %5.2f ms  max %6.2f ms  over 16 ms: %ld of %zu\n", label, clock,
        percentile(ms, 0.5), percentile(ms, 0.95), percentile(ms, 1.0), over, ms.size());
}

void report(const char* label, const Run& run)
{
    report(label, "cpu", run.cpuMs);
    report(label, "wall", run.stepsMs);
    std::printf("%-6s cells alive at most %d (widgets %d, bound %d), cells painted with their picture %.0f%%\n", label,
        run.mostCells, run.mostWidgets, run.bound, run.pictureShare * 100);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int steps = argc > 1 ? std::max(10, atoi(argv[1])) : 600;

    QTemporaryDir folder;
    fillDiskCache(folder.path());
    // Fresh memory each run: every picture comes from its file.
    {
        WallpaperImageCache cache(folder.path());
        report("lazy", scroll(true, steps, cache));
    }
    {
        WallpaperImageCache cache(folder.path());
        report("eager", scroll(false, steps, cache));
    }
    return 0;
}
