// One lock-screen conversion per process, timed by bench/lockscreen-conversion-bench.sh against
// `ffmpeg -i IN.mp4 -c copy OUT.mov` (a whole process each). The service runs as in the
// application: awaited on the event loop, the export on a worker, written as "<key>.mov.part",
// flushed and renamed. Prints its own wall time too, so the cost of starting the process shows
// apart.
//
//   lockscreen-conversion-bench INPUT.mp4 CACHES_ROOT

#include "engine/VideoConversionService.h"
#include "foundation/AppError.h"
#include "foundation/Paths.h"

#include <QCoro/QCoroTask>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {
QCoro::Task<int> convert(QString input)
{
    try {
        co_await VideoConversionService::shared().convertToMOV(QUrl::fromLocalFile(input), 1);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", qPrintable(describeError(error)));
        co_return 1;
    }
    co_return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: lockscreen-conversion-bench INPUT.mp4 CACHES_ROOT\n");
        return 2;
    }
    const Paths::Override folders(args[2]);
    QElapsedTimer timer;
    timer.start();
    const int status = QCoro::waitFor(convert(args[1]));
    std::printf("convertToMOV %lld ms\n", qint64(timer.elapsed()));
    return status;
}
