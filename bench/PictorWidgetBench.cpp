// The image library's widgets against plain Qt doing the same:
//   views                   500 image views set from the memory cache, against 500 QLabels given
//                           the same images as pixmaps; prints "ours_ms qlabel_ms"
//   gif FILE SECONDS        an animated GIF playing in the animated image view, against QMovie in a
//                           QLabel; prints the CPU share of one core of each while shown, and of
//                           the view while hidden: "ours_pct qmovie_pct hidden_pct"
// pictor-widget-bench.sh runs both with ffmpeg's GIF of 100 frames at 480x270 and 25 fps.
#include "pictor/views/AnimatedImageView.h"
#include "pictor/cache/ImageCache.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/retrieval/ImageResource.h"
#include "pictor/views/ImageView.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/views/WidgetImageLoading.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <vector>

using namespace pictor;

namespace {

constexpr int kViews = 500;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The CPU share of one core the process spends while the event loop runs that long (a plain
// loop: QTest::qWait would add wake-ups of its own).
double cpuShare(double seconds)
{
    const double before = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (cpuSeconds() - before) / seconds;
}

int views()
{
    auto cache = ImageCache::create(QStringLiteral("widget-bench"));
    QList<Image> images;
    for (int i = 0; i < kViews; ++i) {
        QImage bitmap(160, 90, QImage::Format_ARGB32_Premultiplied);
        bitmap.fill(QColor::fromHsv(i % 360, 200, 200));
        images.append(Image(bitmap));
        cache->store(images.last(), std::nullopt, QStringLiteral("poster-%1").arg(i), PictorParsedOptionsInfo(), false);
    }
    const QList<PictorOptionsInfoItem> options{PictorOptionsInfoItem::targetCache(cache)};
    std::vector<std::unique_ptr<ImageView>> targets;
    std::vector<std::unique_ptr<QLabel>> labels;
    for (int i = 0; i < kViews; ++i) {
        targets.push_back(std::make_unique<ImageView>());
        labels.push_back(std::make_unique<QLabel>());
    }
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kViews; ++i) {
        const Source source = ImageResource(QUrl(QStringLiteral("https://127.0.0.1:9/poster-%1").arg(i)), QStringLiteral("poster-%1").arg(i))
                                  .convertToSource();
        pt::setImage(targets[size_t(i)].get(), source, nullptr, options, {}, [&done](const ImageSetting::SettingResult& result) {
            done += result.isSuccess();
        });
    }
    if (!QTest::qWaitFor([&] { return done == kViews; }, 10000))
        return 1;
    const qint64 ours = clock.nsecsElapsed();
    clock.restart();
    for (int i = 0; i < kViews; ++i)
        labels[size_t(i)]->setPixmap(QPixmap::fromImage(images[i].bitmap()));
    const qint64 reference = clock.nsecsElapsed();
    std::printf("%.2f %.2f\n", double(ours) / 1e6, double(reference) / 1e6);
    return 0;
}

int gif(const QString& path, double seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray data = file.readAll();
    const std::optional<Image> image = pt::image(data, ImageCreatingOptions {.scale = 1.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = false});
    if (!image)
        return 1;
    AnimatedImageView view;
    view.resize(image->size().toSize());
    view.setImage(*image);
    view.show();
    cpuShare(2.0); // frames decoded ahead, then steady playback
    const double ours = cpuShare(seconds);
    view.hide();
    const double hidden = cpuShare(seconds / 2);

    QLabel label;
    QMovie movie(path);
    label.setMovie(&movie);
    label.resize(view.size());
    label.show();
    movie.start();
    cpuShare(2.0);
    const double reference = cpuShare(seconds);
    std::printf("%.2f %.2f %.2f\n", ours, reference, hidden);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("views"))
        return views();
    if (args.value(1) == QLatin1String("gif") && args.size() == 4)
        return gif(args[2], args[3].toDouble());
    std::fprintf(stderr, "usage: pictor-widget-bench views | gif FILE SECONDS\n");
    return 2;
}
