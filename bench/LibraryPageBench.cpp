// The library tab, measured by bench/library-page-bench.sh:
//   page            200 saved wallpapers and 20 playlists, posters in the disk cache: from the
//                   tab's page being shown to its first paint with every visible poster on it;
//                   the reference is the same 200 poster cards alone in the lazy grid
//   cycle A B SECS  the create-playlist card at 480×270 cross-fading between two previews for
//                   SECS seconds (CPU measured outside, against two mpv windows of the same size)

#include "BenchPosters.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "screens/PageLinks.h"
#include "screens/browse/LikedView.h"
#include "screens/library/CreatePlaylistCardView.h"
#include "screens/library/PlaylistCardView.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/SheetHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSaved = 200;
constexpr int kPlaylists = 20;
constexpr int kRuns = 7;
const QSize kWindow(1440, 900);

WallpaperModel wallpaper(int index)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = 5000 + index;
    model.title = QStringLiteral("Saved %1").arg(index);
    model.category = QStringLiteral("Nature");
    model.createdAt = QStringLiteral("2025-06-08");
    model.posterUrl = QUrl(QStringLiteral("https://assets.invalid/wallpaper/%1/poster.webp").arg(5000 + index));
    // The playlists start with partner-site wallpapers, whose cards show their own poster (no
// asset host is known here).
    model.isFromGravelnook = index < kPlaylists;
    return model;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Every card the window shows has its picture: the saved wallpapers' posters and the playlists'.
template <typename Card>
bool picturesLoaded(QWidget& window, bool (Card::*loaded)() const)
{
    const auto cards = window.findChildren<Card*>();
    return std::all_of(cards.begin(), cards.end(), [&](Card* card) {
        const QRect onWindow(card->mapTo(&window, QPoint()), card->size());
        return !card->isVisible() || !onWindow.intersects(window.rect()) || (card->*loaded)();
    });
}

bool visiblePostersLoaded(QWidget& window)
{
    return picturesLoaded(window, &PosterCardView::hasPoster) && picturesLoaded(window, &PlaylistCardView::hasPreviewPicture);
}

// Shows `page` in a window and measures until its first paint with the visible posters.
double showAndPaint(QWidget& window, QWidget& page)
{
    QElapsedTimer timer;
    timer.start();
    page.show();
    if (!QTest::qWaitFor([&] { return visiblePostersLoaded(window); }, 10'000))
        std::fprintf(stderr, "posters did not load\n");
    window.repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

int page(const QString& posters)
{
    {
        WallpaperImageCache fill(posters);
        for (int i = 0; i < kSaved; ++i)
            fill.store(benchPoster(i, false), *wallpaper(i).posterUrl);
        fill.waitForDiskWrites();
    }
    auto& liked = LikedWallpapersService::shared();
    auto& playlists = WallpaperPlaylistService::shared();
    for (int i = kSaved - 1; i >= 0; --i)
        liked.addWallpaper(wallpaper(i), true);
    for (int i = kPlaylists - 1; i >= 0; --i) {
        const WallpaperPlaylist created = playlists.createPlaylist(QStringLiteral("Playlist %1").arg(i), 300);
        playlists.setWallpaperKeys({5000 + i, 5000 + i + kPlaylists}, created.id);
    }

    std::vector<double> pages;
    std::vector<double> grids;
    for (int run = 0; run < kRuns; ++run) {
        // Fresh memory each run: every poster comes from its file.
        WallpaperImageCache images(posters);
        Shared<WallpaperImageCache>::Override imagesOverride(images);
        BrowseContext context;
        {
            QWidget window;
            window.resize(kWindow);
            SheetHost sheets(&window);
            PageLinks links;
            links.sheets = &sheets;
            // As the root view holds it: in the main scroll view.
            auto* scroll = new QScrollArea(&window);
            scroll->setGeometry(window.rect());
            scroll->setWidgetResizable(true);
            scroll->setWidget(new LikedView(&context, links));
            scroll->hide();
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                return 1;
            pages.push_back(showAndPaint(window, *scroll));
        }
        WallpaperImageCache referenceImages(posters);
        Shared<WallpaperImageCache>::Override referenceOverride(referenceImages);
        {
            QWidget window;
            window.resize(kWindow);
            auto* scroll = new QScrollArea(&window);
            scroll->setGeometry(window.rect());
            scroll->setWidgetResizable(true);
            auto* grid = new LazyGridView;
            grid->setColumns(3);
            const QList<WallpaperModel> saved = liked.likedWallpapersInOrder();
            grid->setCellFactory([&](int index) { return new PosterCardView(saved.at(index), {}, &context); });
            QList<QUuid> keys;
            for (const WallpaperModel& model : saved)
                keys.append(model.id);
            grid->setKeys(keys);
            scroll->setWidget(grid);
            scroll->hide();
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                return 1;
            grids.push_back(showAndPaint(window, *scroll));
        }
    }
    std::printf("page_first_paint_ms median %.1f max %.1f (%d saved, %d playlists, %d runs)\n", median(pages),
        *std::max_element(pages.begin(), pages.end()), kSaved, kPlaylists, kRuns);
    std::printf("grid_first_paint_ms median %.1f max %.1f (the same saved cards alone)\n", median(grids),
        *std::max_element(grids.begin(), grids.end()));
    return 0;
}

int cycle(const QString& first, const QString& second, int seconds)
{
    QWidget window;
    auto* card = new CreatePlaylistCardView(&window);
    // 480×270 of card inside its 2-pixel margin.
    card->setGeometry(0, 0, 484, 274);
    window.resize(484, 274);
    card->setMedia({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}, {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    card->appeared();
    int fades = 0;
    QObject::connect(&card->cycle(), &CreatePlaylistCardCycle::crossfadeStarted, [&] { ++fades; });
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    QApplication::exec();
    std::printf("cycled %d s, %d fades\n", seconds, fades);
    return fades > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir root;
    const Paths::Override paths(root.path());
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("page"))
        return page(root.filePath(QStringLiteral("images")));
    if (mode == QLatin1String("cycle") && argc > 4)
        return cycle(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), std::max(1, atoi(argv[4])));
    std::fprintf(stderr, "usage: library-page-bench page | cycle A B SECONDS\n");
    return 2;
}
