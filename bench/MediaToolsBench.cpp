// One MediaTools operation per process, timed by bench/media-tools-bench.sh against the ffmpeg
// tool doing the same job (a whole process each). Prints the operation's own wall time too, so
// the cost of starting the process shows apart.
//
//   media_tools_bench export INPUT OUTPUT.mov
//   media_tools_bench frame INPUT SECONDS OUTPUT.png

#include "foundation/AppError.h"
#include "platform/MediaTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool exportMode = args.size() == 4 && args[1] == QLatin1String("export");
    const bool frameMode = args.size() == 5 && args[1] == QLatin1String("frame");
    if (!exportMode && !frameMode) {
        std::fprintf(stderr, "usage: media_tools_bench export INPUT OUTPUT.mov | frame INPUT SECONDS OUTPUT.png\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    try {
        if (exportMode) {
            MediaTools().exportMovie(args[2], args[3]);
        } else {
            const QImage frame = MediaTools().frameAt(args[2], args[3].toDouble());
            const qint64 decodedMs = timer.elapsed();
            if (!frame.save(args[4], "png"))
                throw MessageError(QStringLiteral("cannot write ") + args[4]);
            std::printf("frameAt %lld ms, PNG written after %lld ms\n", decodedMs, qint64(timer.elapsed()));
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", qPrintable(describeError(error)));
        return 1;
    }
    std::printf("exportMovie %lld ms\n", qint64(timer.elapsed()));
    return 0;
}
