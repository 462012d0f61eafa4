// The image library inside one process: downsampling a 4000x3000 JPEG to 400x300 at decode time
// against a full decode followed by a smooth scale (target: at most 0.5x), format detection and
// SHA-256 of a 1 MB buffer (targets: under 50 µs and 3 ms), and the progressive-JPEG marker scan of
// a 2 MB download arriving in 16 KB chunks, remembered against rescanned from the start.
// Run: pictor-bench FILE_4000x3000.jpg (pictor-bench.sh makes the file and runs it).
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/processing/ImageFormat.h"
#include "pictor/processing/JpegMarkerScanner.h"
#include "pictor/cache/KeyHashing.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace pictor;

namespace {

QByteArray largeJpeg;

void BM_DownsampleAtDecode(benchmark::State& state)
{
    const DownsamplingImageProcessor processor(QSizeF(400, 300));
    const PictorParsedOptionsInfo options;
    for (auto _ : state) {
        std::optional<Image> image = processor.process(ImageProcessItem::data(largeJpeg), options);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DownsampleAtDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullDecodeThenSmoothScale(benchmark::State& state)
{
    for (auto _ : state) {
        const QImage full = QImage::fromData(largeJpeg);
        QImage scaled = full.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled);
    }
}
BENCHMARK(BM_FullDecodeThenSmoothScale)->Unit(benchmark::kMillisecond)->UseRealTime();

QByteArray megabyte()
{
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    bytes.replace(0, 3, "\xFF\xD8\xFF");
    return bytes;
}

void BM_FormatDetection1MB(benchmark::State& state)
{
    const QByteArray bytes = megabyte();
    for (auto _ : state)
        benchmark::DoNotOptimize(pt::imageFormat(bytes));
}
BENCHMARK(BM_FormatDetection1MB)->Unit(benchmark::kMicrosecond);

void BM_Sha256Of1MB(benchmark::State& state)
{
    const QString text = QString::fromLatin1(megabyte().toBase64().left(1 << 20));
    for (auto _ : state)
        benchmark::DoNotOptimize(pt::sha256(text));
}
BENCHMARK(BM_Sha256Of1MB)->Unit(benchmark::kMillisecond);

// Every chunk of a 2 MB download asks whether a scan header arrived yet (it never does).
template <typename Ask>
void markerScanOfADownload(benchmark::State& state, Ask ask)
{
    QByteArray download = megabyte() + megabyte();
    download.replace(QByteArray("\xFF\xDA"), QByteArray("\xFF\x00"));
    for (auto _ : state) {
        for (qsizetype size = 16 * 1024; size <= download.size(); size += 16 * 1024)
            benchmark::DoNotOptimize(ask(download.left(size)));
    }
}

void BM_MarkerScanRemembered(benchmark::State& state)
{
    JpegMarkerScanner scanner;
    markerScanOfADownload(state, [&scanner](const QByteArray& data) { return scanner.contains(data, JPEGMarker::Kind::SOS); });
}
BENCHMARK(BM_MarkerScanRemembered)->Unit(benchmark::kMillisecond);

void BM_MarkerScanFromTheStart(benchmark::State& state)
{
    markerScanOfADownload(state, [](const QByteArray& data) { return pt::contains(data, JPEGMarker::Kind::SOS); });
}
BENCHMARK(BM_MarkerScanFromTheStart)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: pictor-bench FILE_4000x3000.jpg [benchmark flags]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        fprintf(stderr, "pictor-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    largeJpeg = file.readAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
