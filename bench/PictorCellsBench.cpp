// Loading into the cells of one model from the memory cache, on the GUI thread as a list view's
// model would be filled: 1,000, 4,000 and 16,000 cells of one column, each load its own source.
// The reference sets the same pixmaps straight into the cells' decoration, so what remains is
// the cost of the loads themselves; it should grow with the cells, not with their square.
// Run pictor-widget-bench.sh, or pictor-cells-bench alone.
#include "pictor/cache/ImageCache.h"
#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/views/WidgetImageLoading.h"

#include <QApplication>
#include <QPixmap>
#include <QStandardItemModel>

#include <benchmark/benchmark.h>

#include <memory>

using namespace pictor;

namespace {

constexpr int kImages = 64;

struct Setup {
    std::shared_ptr<ImageCache> cache = ImageCache::create(QStringLiteral("cells-bench"));
    QList<Source> sources;
    QList<QPixmap> pixmaps;

    Setup()
    {
        for (int i = 0; i < kImages; ++i) {
            QImage bitmap(48, 27, QImage::Format_ARGB32_Premultiplied);
            bitmap.fill(QColor::fromHsv(i * 5, 200, 200));
            const QString key = QStringLiteral("thumb-%1").arg(i);
            cache->store(Image(bitmap), std::nullopt, key, PictorParsedOptionsInfo(), false);
            sources.append(ImageResource(QUrl(QStringLiteral("https://127.0.0.1:9/") + key), key).convertToSource());
            pixmaps.append(QPixmap::fromImage(bitmap));
        }
    }
};

Setup& setup()
{
    static Setup shared;
    return shared;
}

void BM_LoadIntoCells(benchmark::State& state)
{
    const int cells = int(state.range(0));
    const QList<PictorOptionsInfoItem> options{PictorOptionsInfoItem::targetCache(setup().cache)};
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<QStandardItemModel>(cells, 1);
        int done = 0;
        state.ResumeTiming();
        for (int row = 0; row < cells; ++row)
            pt::setImage(QPersistentModelIndex(model->index(row, 0)), setup().sources[row % kImages], std::nullopt, options, {},
                         [&done](const ImageSetting::SettingResult& result) { done += result.isSuccess(); });
        // Memory hits complete on the GUI thread; let any that were posted run.
        while (done < cells)
            QCoreApplication::processEvents();
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_LoadIntoCells)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

void BM_SetCellsDirectly(benchmark::State& state)
{
    const int cells = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<QStandardItemModel>(cells, 1);
        state.ResumeTiming();
        for (int row = 0; row < cells; ++row)
            model->setData(model->index(row, 0), setup().pixmaps[row % kImages], Qt::DecorationRole);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_SetCellsDirectly)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
