// The first HTTPS request of a launch against the second, both to the same server, timed from
// the call to the reply (wall clock) and in CPU time of the GUI thread. As at a launch, trust is
// prepared at start and the first request goes out once the windows would be up (300 ms);
// --unprepared leaves the certificates to be read by the first request. Trust comes from
// QUORVELLE_CA_CERT. bench/first-request.sh runs it against the sample catalogue.
//
//   first-request-bench <url> [--unprepared]

#include "platform/Http.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>

#include "support/TaskWait.h"

#include <cstdio>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double wallMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool prepare = args.removeAll(QStringLiteral("--unprepared")) == 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: first-request-bench <url> [--unprepared]\n");
        return 2;
    }
    const QUrl url(args[0]);
    if (prepare)
        Http::shared().prepareTrust();
    QEventLoop launch;
    QTimer::singleShot(300, &launch, &QEventLoop::quit);
    launch.exec();

    for (const char* name : {"first", "second"}) {
        const double wallStart = wallMs();
        const double cpuStart = threadCpuMs();
        const HttpResponse response = waitForTask(Http::shared().send(QNetworkRequest(url)));
        std::printf("%s_ms %.2f\n%s_gui_cpu_ms %.2f\n", name, wallMs() - wallStart, name, threadCpuMs() - cpuStart);
        if (!response.isSuccess()) {
            std::fprintf(stderr, "error: status %d\n", response.status);
            return 1;
        }
    }
    return 0;
}
