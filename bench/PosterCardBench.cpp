// Poster cards as the grids show them, measured by bench/poster-card-bench.sh:
//   grid            first full paint of 60 cards whose posters came from the disk cache
//   hover CLIP      pointer onto a card whose preview (CLIP) is in the preview cache, until the
//                   first video frame is on the card
//   play CLIP SECS  one 480×270 card previewing CLIP for SECS seconds (CPU measured outside)

#include "BenchPosters.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Paths.h"
#include "library/LikedWallpapersService.h"
#include "ui/PosterCardView.h"
#include "ui/VideoPlayerPool.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QGridLayout>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCards = 60;
constexpr int kColumns = 8;
constexpr int kRuns = 7;

WallpaperModel wallpaper(int index)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = 1000 + index;
    model.title = QStringLiteral("Wallpaper %1").arg(index);
    model.category = QStringLiteral("Nature");
    model.likes = index * 37;
    model.downloads = index * 11;
    model.createdAt = QStringLiteral("2025-06-08");
    model.posterUrl = QUrl(QStringLiteral("https://assets.invalid/wallpaper/%1/poster.webp").arg(1000 + index));
    model.videoUrl = QUrl(QStringLiteral("https://assets.invalid/wallpaper/%1/preview.mp4").arg(1000 + index));
    return model;
}

void fillDiskCache(const QString& folder, int count)
{
    WallpaperImageCache cache(folder);
    for (int i = 0; i < count; ++i) {
        const QImage poster = benchPoster(i, false);
        cache.store(poster, *wallpaper(i).posterUrl);
    }
    cache.waitForDiskWrites();
}

PosterCardView::Services services(WallpaperImageCache& images)
{
    return {LikedWallpapersService::shared(), VideoCacheService::shared(), WallpaperDownloadService::shared(), nullptr,
        VideoPlayerPool::shared(), images};
}

bool showAndWait(QWidget& window)
{
    window.show();
    if (QTest::qWaitForWindowExposed(&window))
        return true;
    std::fprintf(stderr, "the window was not shown\n");
    return false;
}

// CPU time of the GUI thread: on a shared machine wall time also counts waiting for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int grid(const QString& folder)
{
    fillDiskCache(folder, kCards);
    std::vector<double> paints;
    std::vector<double> paintsCpu;
    std::vector<double> repaintsCpu;
    for (int run = 0; run < kRuns; ++run) {
        WallpaperImageCache images(folder); // fresh memory: every poster comes from its file
        QWidget window;
        auto* layout = new QGridLayout(&window);
        layout->setSpacing(8);
        QList<PosterCardView*> cards;
        for (int i = 0; i < kCards; ++i) {
            auto* card = new PosterCardView(wallpaper(i), {}, nullptr, services(images));
            card->setFixedSize(230, card->heightForWidth(230));
            layout->addWidget(card, i / kColumns, i % kColumns);
            cards.append(card);
        }
        if (!showAndWait(window))
            return 1;
        if (!QTest::qWaitFor([&] { return std::all_of(cards.begin(), cards.end(), [](auto* c) { return c->hasPoster(); }); }, 10'000)) {
            std::fprintf(stderr, "posters did not load\n");
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        double cpu = threadCpuMs();
        window.repaint();
        paints.push_back(double(timer.nsecsElapsed()) / 1e6);
        paintsCpu.push_back(threadCpuMs() - cpu);
        // Once more: what a paint costs when the posters are already scaled to the cards.
        cpu = threadCpuMs();
        window.repaint();
        repaintsCpu.push_back(threadCpuMs() - cpu);
    }
    std::printf("grid_first_paint_ms median %.2f max %.2f (%d cards, %d runs)\n", median(paints),
        *std::max_element(paints.begin(), paints.end()), kCards, kRuns);
    std::printf("grid_first_paint_cpu_ms median %.2f, repaint cpu median %.2f\n", median(paintsCpu), median(repaintsCpu));
    return 0;
}

void enter(QWidget& card)
{
    const QPointF centre = card.rect().center();
    QEnterEvent event(centre, centre, card.mapToGlobal(centre));
    QApplication::sendEvent(&card, &event);
}

// Puts CLIP into the preview cache for the bench's wallpaper 0.
void cachePreview(const QString& clip)
{
    VideoCacheService::shared(); // makes the preview folders
    const QString cached = QDir(VideoCacheService::previewFolder()).filePath(QStringLiteral("1000.mp4"));
    QFile::remove(cached);
    QFile::copy(clip, cached);
}

int hover(const QString& folder, const QString& clip)
{
    fillDiskCache(folder, 1);
    cachePreview(clip);
    WallpaperImageCache images(folder);
    std::vector<double> firstFrames;
    for (int run = 0; run < kRuns; ++run) {
        QWidget window;
        auto* card = new PosterCardView(wallpaper(0), {}, nullptr, services(images), &window);
        card->setGeometry(0, 0, 484, 274);
        window.resize(484, 274);
        if (!showAndWait(window))
            return 1;
        QTest::qWait(50);
        QElapsedTimer timer;
        timer.start();
        enter(*card);
        if (!QTest::qWaitFor([&] { return card->isPreviewShown(); }, 10'000)) {
            std::fprintf(stderr, "no first frame\n");
            return 1;
        }
        firstFrames.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("hover_first_frame_ms median %.1f max %.1f (%d runs)\n", median(firstFrames),
        *std::max_element(firstFrames.begin(), firstFrames.end()), kRuns);
    return 0;
}

int play(const QString& folder, const QString& clip, int seconds)
{
    fillDiskCache(folder, 1);
    cachePreview(clip);
    WallpaperImageCache images(folder);
    QWidget window;
    // 480×270 of video inside the card's 2-pixel margin.
    auto* card = new PosterCardView(wallpaper(0), {}, nullptr, services(images), &window);
    card->setGeometry(0, 0, 484, 274);
    window.resize(484, 274);
    if (!showAndWait(window))
        return 1;
    enter(*card);
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    QApplication::exec();
    std::printf("played %d s, preview shown %s\n", seconds, card->isPreviewShown() ? "yes" : "no");
    return card->isPreviewShown() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir root;
    const Paths::Override paths(root.path());
    const QString posters = root.filePath(QStringLiteral("images"));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("grid"))
        return grid(posters);
    if (mode == QLatin1String("hover") && argc > 2)
        return hover(posters, QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("play") && argc > 3)
        return play(posters, QString::fromLocal8Bit(argv[2]), std::max(1, atoi(argv[3])));
    std::fprintf(stderr, "usage: poster-card-bench grid | hover CLIP | play CLIP SECONDS\n");
    return 2;
}
