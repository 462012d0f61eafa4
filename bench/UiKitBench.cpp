// Cost of the shared small widgets, each against a reference measured in the same run:
//  - `repaint`: one repaint of a like button and of the chips after a hover change, against a
//    QPushButton of the same size painted by Qt's own style (target: under 1 ms each);
//  - `idle SECONDS [bare]`: the CPU a shown window full of these widgets uses while nothing
//    moves, against a bare window (target: under 0.5% of one core).
// Run ui-kit-bench.sh, which starts both on a private Xvfb display.
#include "foundation/UserDefaults.h"
#include "ui/AppLogo.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/FooterView.h"
#include "ui/GlassBackground.h"
#include "ui/LikeButton.h"
#include "ui/LockscreenExclusiveChip.h"
#include "ui/NavButtonBar.h"
#include "ui/NavIconButton.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

WallpaperModel wallpaper()
{
    WallpaperModel model;
    model.key = 42;
    model.title = QStringLiteral("Lagoon");
    return model;
}

// Hover toggles as the window system reports them, each followed by the repaint it asks for.
void hoverRepaints(benchmark::State& state, QWidget& widget)
{
    widget.show();
    // A window not yet mapped skips its repaints.
    while (!widget.windowHandle() || !widget.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    bool over = false;
    for (auto _ : state) {
        over = !over;
        if (over) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(&widget, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&widget, &leave);
        }
        widget.repaint();
    }
}

void likeButton(benchmark::State& state)
{
    LikeButton button(wallpaper(), LikeButton::Look::posterCard());
    hoverRepaints(state, button);
}

void likeButtonWithGlow(benchmark::State& state)
{
    LikeButton button(wallpaper(), LikeButton::Look::fullScreenFootBar());
    hoverRepaints(state, button);
}

void filterChip(benchmark::State& state)
{
    FilterChip chip(QStringLiteral("Popular"));
    chip.resize(chip.sizeHint());
    hoverRepaints(state, chip);
}

void lockscreenChip(benchmark::State& state)
{
    LockscreenExclusiveChip chip;
    chip.resize(chip.sizeHint());
    hoverRepaints(state, chip);
}

void styledPushButton(benchmark::State& state)
{
    QPushButton button(QStringLiteral("Popular"));
    button.resize(FilterChip::capsuleSize(QStringLiteral("Popular")));
    hoverRepaints(state, button);
}

BENCHMARK(likeButton)->Unit(benchmark::kMicrosecond);
BENCHMARK(likeButtonWithGlow)->Unit(benchmark::kMicrosecond);
BENCHMARK(filterChip)->Unit(benchmark::kMicrosecond);
BENCHMARK(lockscreenChip)->Unit(benchmark::kMicrosecond);
BENCHMARK(styledPushButton)->Unit(benchmark::kMicrosecond);

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A window like a browse page at rest: bars, hearts, chips, logo and footer, nothing animating.
QWidget* restingPage()
{
    auto* page = new QWidget;
    page->setPalette(Theme::palette());
    page->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(page);
    auto* bars = new QHBoxLayout;
    bars->addWidget(new AppLogo);
    bars->addStretch();
    bars->addWidget(new NavButtonBar({NavIconButton::search()}));
    bars->addWidget(new NavButtonBar({NavIconButton::upload(), NavIconButton::settings()}));
    column->addLayout(bars);
    auto* hearts = new QHBoxLayout;
    for (const auto& look : {LikeButton::Look::posterCard(), LikeButton::Look::heroOverlay(), LikeButton::Look::fullScreenFootBar()})
        hearts->addWidget(new LikeButton(wallpaper(), look));
    hearts->addWidget(new LockscreenExclusiveChip);
    column->addLayout(hearts);
    auto* chips = new FilterChipsRow;
    chips->setItems({QStringLiteral("Newest"), QStringLiteral("Popular"), QStringLiteral("Nature"), QStringLiteral("Space"),
        QStringLiteral("Cities at Night"), QStringLiteral("Abstract")});
    chips->setSelectedItem(QStringLiteral("Popular"));
    column->addWidget(chips);
    auto* glass = new GlassBackground(34);
    glass->setMinimumHeight(60);
    column->addWidget(glass);
    column->addStretch();
    column->addWidget(new FooterView);
    return page;
}

int idle(int seconds, bool bare)
{
    QWidget* window = bare ? new QWidget : restingPage();
    window->resize(1200, 800);
    window->show();
    double start = 0;
    // Two seconds to settle (first paints, font caches), then the measured stretch.
    QTimer::singleShot(2000, [&] {
        start = cpuSeconds();
        std::printf("%s window shown and painted: %.3f s CPU\n", bare ? "bare" : "widgets", start);
    });
    QTimer::singleShot(2000 + seconds * 1000, [&] {
        const double used = cpuSeconds() - start;
        std::printf("%s window idle %d s: %.4f s CPU = %.3f%% of one core\n", bare ? "bare" : "widgets", seconds, used,
            100.0 * used / seconds);
        QApplication::quit();
    });
    const int status = QApplication::exec();
    delete window;
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // the liked list of a scratch profile
    if (argc >= 3 && std::strcmp(argv[1], "idle") == 0)
        return idle(std::atoi(argv[2]), argc >= 4 && std::strcmp(argv[3], "bare") == 0);
    if (argc >= 2 && std::strcmp(argv[1], "repaint") == 0) {
        int benchmarkArgc = argc - 1;
        benchmark::Initialize(&benchmarkArgc, argv + 1);
        benchmark::RunSpecifiedBenchmarks();
        return 0;
    }
    std::fprintf(stderr, "usage: ui-kit-bench repaint [benchmark flags] | idle SECONDS [bare]\n");
    return 2;
}
