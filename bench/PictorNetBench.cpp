// The image downloader against a loopback TLS server (cpp-httplib, the test certificate):
//   serve CERT KEY                 serves /img/<n>.jpg, 200 images of about 200 KB, until stdin closes;
//                                  prints its port first
//   fetch PORT CA                  fetches the 200 images decoded, 6 callers asking for the next
//                                  one as theirs is done; prints wall ms
//   fetch-all PORT CA              the same with all 200 asked at once (the transport runs 6)
//   fetch-raw PORT CA              as fetch, without decoding (bytes kept as they arrive)
//   shared CERT KEY                100 callers of one URL at once; prints the server's transfers
//   progressive CERT KEY INTERVAL  a 2 MB progressive JPEG arriving at 1 MB/s: intermediate images,
//                                  their closest spacing, and the decoding CPU against one full decode
//   scroll CERT KEY RUNS           a list showing 12 rows, each an image the server answers in 40 ms:
//                                  ms until every visible image is loaded, unscrolled, and after 5
//                                  jumps of 30 rows a frame apart (each jump withdraws the loads of
//                                  the rows it leaves); prints both medians of RUNS runs
//   beside CERT KEY RUNS           240 images of one host, 6 callers, while another downloader of
//                                  the same trust keeps failing beside them every 20 ms: loads of
//                                  1 ms on the same host, on another host, or loads of a host that
//                                  never accepts withdrawn as they are scrolled past; prints, for
//                                  nothing beside and each of those, the median wall ms and the
//                                  most connections the images' host saw in RUNS runs
// pictor-net-bench.sh runs them next to curl --parallel --parallel-max 6 on the same server.
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/networking/ImageDownloader.h"
#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/ImageProgressiveProvider.h"
#include "pictor/processing/LivePhotoImageProcessor.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTimer>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

using namespace pictor;

namespace {

constexpr int kImages = 200;
constexpr int kParallel = 6;

QByteArray encode(const QImage& image, bool progressive, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// Smooth gradients with noise: a photograph's compressibility, of about the asked size.
QByteArray photo(QSize size, bool progressive, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(random.bounded(64));
            line[x] = qRgb((x * 255 / size.width() + noise) & 0xFF, (y * 255 / size.height() + noise) & 0xFF, (x + y + noise) & 0xFF);
        }
    }
    return encode(image, progressive, 85);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::shared_ptr<ImageDownloader> trustingDownloader(const QString& ca)
{
    auto downloader = ImageDownloader::create(QStringLiteral("bench"));
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(ca));
    downloader->setSessionConfiguration(configuration);
    return downloader;
}

struct Server {
    httplib::SSLServer server;
    std::thread thread;
    int port = 0;
    std::atomic<int> transfers = 0;

    std::mutex mutex;
    // The connections that carried a request, told apart by their client ports.
    std::set<int> ports;

    Server(const char* cert, const char* key) : server(cert, key) {}
    int connections()
    {
        std::lock_guard lock(mutex);
        return int(ports.size());
    }
    void start()
    {
        server.set_logger([this](const auto&, const auto&) { ++transfers; });
        server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::lock_guard lock(mutex);
            ports.insert(request.remote_port);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::yield();
    }
    ~Server()
    {
        server.stop();
        if (thread.joinable())
            thread.join();
    }
};

int serve(const char* cert, const char* key)
{
    QList<QByteArray> images;
    for (int i = 0; i < kImages; ++i)
        images.append(photo(QSize(720, 540), false, quint32(i)));
    Server server(cert, key);
    server.server.Get(R"(/img/(\d+)\.jpg)", [&](const httplib::Request& request, httplib::Response& response) {
        const QByteArray& image = images[std::stoi(request.matches[1]) % kImages];
        response.set_content(image.constData(), size_t(image.size()), "image/jpeg");
    });
    server.start();
    qint64 total = 0;
    for (const QByteArray& image : images)
        total += image.size();
    std::printf("%d %lld\n", server.port, total / kImages);
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

// `callers` images are asked for at once, the next as soon as one is done: 6 holds each decode in
// its caller's turn; 200 leaves the 6 at a time to the transport's connections, as curl's limit does.
int fetch(int port, const QString& ca, bool raw, int callers)
{
    auto downloader = trustingDownloader(ca);
    PictorParsedOptionsInfo options;
    if (raw)
        options.processor = std::make_shared<LivePhotoImageProcessor>();
    int next = 0, done = 0, failed = 0;
    QElapsedTimer clock;
    clock.start();
    std::function<void()> startNext = [&] {
        const QUrl url(QStringLiteral("https://127.0.0.1:%1/img/%2.jpg").arg(port).arg(next++));
        downloader->downloadImage(url, options, [&](ImageDownloader::ImageResult result) {
            ++done;
            failed += result.isFailure();
            if (next < kImages)
                startNext();
            else if (done == kImages)
                QCoreApplication::quit();
        });
    };
    for (int i = 0; i < callers; ++i)
        startNext();
    QCoreApplication::exec();
    std::printf("%lld %d\n", clock.elapsed(), failed);
    return failed == 0 ? 0 : 1;
}

int shared(const char* cert, const char* key)
{
    Server server(cert, key);
    const QByteArray image = photo(QSize(560, 420), false, 1);
    server.server.Get("/one.jpg", [&](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        response.set_content(image.constData(), size_t(image.size()), "image/jpeg");
    });
    server.start();
    auto downloader = trustingDownloader(QString::fromLocal8Bit(cert));
    int done = 0;
    for (int i = 0; i < 100; ++i)
        downloader->downloadImage(QUrl(QStringLiteral("https://127.0.0.1:%1/one.jpg").arg(server.port)), PictorParsedOptionsInfo(),
                                  [&](const ImageDownloader::ImageResult& result) {
                                      if (result.isSuccess() && ++done == 100)
                                          QCoreApplication::quit();
                                  });
    QCoreApplication::exec();
    std::printf("%d %d\n", done, server.transfers.load());
    return 0;
}

// One run of the 2 MB image at 1 MB/s, with or without progressive display; the CPU it cost.
double progressiveRun(Server& server, const QString& ca, std::optional<double> interval, QList<qint64>& refreshes)
{
    auto downloader = trustingDownloader(ca);
    PictorParsedOptionsInfo options;
    std::shared_ptr<ImageProgressiveProvider> provider;
    QElapsedTimer clock;
    if (interval) {
        auto progressive = std::make_shared<ImageProgressive>();
        progressive->scanInterval = *interval;
        options.progressiveJPEG = progressive;
        provider = ImageProgressiveProvider::create(options, [&](const Image&) { refreshes.append(clock.elapsed()); });
        options.onDataReceived = QList<std::shared_ptr<DataReceivingSideEffect>>{provider};
    }
    const double before = cpuSeconds();
    clock.start();
    downloader->downloadImage(QUrl(QStringLiteral("https://127.0.0.1:%1/progressive.jpg").arg(server.port)), options,
                              [](const ImageDownloader::ImageResult&) { QTimer::singleShot(500, [] { QCoreApplication::quit(); }); });
    QCoreApplication::exec();
    return cpuSeconds() - before;
}

int progressive(const char* cert, const char* key, double interval)
{
    const QByteArray image = photo(QSize(2400, 1700), true, 2);
    Server server(cert, key);
    // 16 KB every 16 ms: 1 MB/s.
    server.server.Get("/progressive.jpg", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(size_t(image.size()), "image/jpeg", [&](size_t offset, size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
            return sink.write(image.constData() + offset, std::min<size_t>(16384, size_t(image.size()) - offset));
        });
    });
    server.start();
    const QString ca = QString::fromLocal8Bit(cert);
    QList<qint64> none, refreshes;
    const double plain = progressiveRun(server, ca, std::nullopt, none);
    const double shown = progressiveRun(server, ca, interval, refreshes);
    const double decodeStart = cpuSeconds();
    constexpr int kDecodes = 5;
    for (int i = 0; i < kDecodes; ++i)
        DefaultImageProcessor::shared()->process(ImageProcessItem::data(image), PictorParsedOptionsInfo());
    const double oneDecode = (cpuSeconds() - decodeStart) / kDecodes;
    qint64 closest = -1;
    for (qsizetype i = 1; i < refreshes.size(); ++i)
        closest = closest < 0 ? refreshes[i] - refreshes[i - 1] : std::min(closest, refreshes[i] - refreshes[i - 1]);
    std::printf("%lld %lld %lld %.3f %.3f %.3f\n", image.size(), refreshes.size(), closest, shown - plain, oneDecode, (shown - plain) / oneDecode);
    return 0;
}

// Ms from asking for the last rows shown until all are loaded, after `jumps` jumps of 30 rows,
// one frame apart, each withdrawing the loads of the rows it leaves. A trust of the run's own
// gives it connections of its own: every run starts without any.
qint64 scrollRun(const Server& server, const QString& ca, int jumps, int run)
{
    constexpr int kVisible = 12, kJump = 30, kFrameMs = 16;
    auto downloader = trustingDownloader(ca);
    downloader->setTrustedHosts(QSet<QString>{QStringLiteral("scroll.run.%1").arg(run)});
    QList<std::shared_ptr<DownloadTask>> shown;
    int loaded = 0;
    QElapsedTimer clock;
    const auto show = [&](int firstRow, bool last) {
        for (const std::shared_ptr<DownloadTask>& task : std::exchange(shown, {}))
            task->cancel();
        if (last)
            clock.start();
        for (int row = firstRow; row < firstRow + kVisible; ++row) {
            const QUrl url(QStringLiteral("https://127.0.0.1:%1/row/%2.jpg?%3").arg(server.port).arg(row).arg(run));
            shown.append(downloader->downloadImage(url, PictorParsedOptionsInfo(), [&, last](const ImageDownloader::ImageResult& result) {
                if (last && result.isSuccess() && ++loaded == kVisible)
                    QCoreApplication::quit();
            }));
        }
    };
    for (int jump = 0; jump <= jumps; ++jump)
        QTimer::singleShot(jump * kFrameMs, [&show, jump, jumps] { show(jump * kJump, jump == jumps); });
    QCoreApplication::exec();
    return clock.elapsed();
}

int scroll(const char* cert, const char* key, int runs)
{
    const QByteArray image = photo(QSize(320, 240), false, 3);
    Server server(cert, key);
    server.server.Get(R"(/row/(\d+)\.jpg)", [&](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        response.set_content(image.constData(), size_t(image.size()), "image/jpeg");
    });
    server.start();
    const QString ca = QString::fromLocal8Bit(cert);
    QList<qint64> still, scrolled;
    for (int run = 0; run < runs; ++run) {
        still.append(scrollRun(server, ca, 0, 2 * run));
        scrolled.append(scrollRun(server, ca, 5, 2 * run + 1));
    }
    const auto median = [](QList<qint64> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("%lld %lld\n", median(still), median(scrolled));
    return 0;
}

// What fails beside the images, every 20 ms.
enum class Beside { nothing, sameHost, otherHost, deadHost };

// A port on 127.0.0.1 that takes no connection: its one place in the accept queue is taken.
struct DeadHost {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;

    DeadHost()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener, 0);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), length);
    }
    ~DeadHost()
    {
        ::close(filler);
        ::close(listener);
    }
};

// Ms until the 240 images are loaded, 6 callers at a time, and the connections the host saw.
std::pair<qint64, int> besideRun(const char* cert, const char* key, const QByteArray& image, Beside beside, int run)
{
    constexpr int kLoads = 240;
    Server host(cert, key), other(cert, key);
    for (Server* server : {&host, &other}) {
        // One connection could carry every image; one left idle ends soon, so the server stops soon.
        server->server.set_keep_alive_max_count(1000);
        server->server.set_keep_alive_timeout(1);
        server->server.Get(R"(/img/(\d+)\.jpg)", [&image](const httplib::Request&, httplib::Response& response) {
            response.set_content(image.constData(), size_t(image.size()), "image/jpeg");
        });
        server->start();
    }
    const DeadHost dead;
    const QString ca = QString::fromLocal8Bit(cert);
    // A trust of the run's own: every run starts without connections.
    const QSet<QString> trust{QStringLiteral("beside.run.%1.%2").arg(int(beside)).arg(run)};
    auto downloader = trustingDownloader(ca);
    downloader->setTrustedHosts(trust);
    auto failing = trustingDownloader(ca);
    failing->setTrustedHosts(trust);
    failing->setDownloadTimeout(beside == Beside::deadHost ? 15 : 0.001);
    PictorParsedOptionsInfo options;
    options.processor = std::make_shared<LivePhotoImageProcessor>();
    int next = 0, done = 0, tick = 0;
    std::shared_ptr<DownloadTask> scrolled;
    QTimer failer;
    QObject::connect(&failer, &QTimer::timeout, [&] {
        if (scrolled)
            scrolled->cancel();
        const int port = beside == Beside::sameHost ? host.port : beside == Beside::otherHost ? other.port : dead.port;
        scrolled = failing->downloadImage(QUrl(QStringLiteral("https://127.0.0.1:%1/img/%2.jpg?beside").arg(port).arg(tick++)), options,
                                          [](const ImageDownloader::ImageResult&) {});
    });
    if (beside != Beside::nothing)
        failer.start(20);
    QElapsedTimer clock;
    clock.start();
    std::function<void()> startNext = [&] {
        const QUrl url(QStringLiteral("https://127.0.0.1:%1/img/%2.jpg").arg(host.port).arg(next++));
        downloader->downloadImage(url, options, [&](const ImageDownloader::ImageResult&) {
            if (next < kLoads)
                startNext();
            else if (++done == kParallel)
                QCoreApplication::quit();
        });
    };
    for (int i = 0; i < kParallel; ++i)
        startNext();
    QCoreApplication::exec();
    const qint64 elapsed = clock.elapsed();
    failer.stop();
    if (scrolled)
        scrolled->cancel();
    return {elapsed, host.connections()};
}

int besideBench(const char* cert, const char* key, int runs)
{
    const QByteArray image = photo(QSize(720, 540), false, 4);
    for (const Beside beside : {Beside::nothing, Beside::sameHost, Beside::otherHost, Beside::deadHost}) {
        QList<qint64> times;
        int connections = 0;
        for (int run = 0; run < runs; ++run) {
            const auto [ms, seen] = besideRun(cert, key, image, beside, run);
            times.append(ms);
            connections = std::max(connections, seen);
        }
        std::sort(times.begin(), times.end());
        std::printf("%lld %d\n", times[times.size() / 2], connections);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("serve") && argc == 4)
        return serve(argv[2], argv[3]);
    if ((mode == QLatin1String("fetch") || mode == QLatin1String("fetch-raw")) && argc == 4)
        return fetch(args[2].toInt(), args[3], mode == QLatin1String("fetch-raw"), kParallel);
    if (mode == QLatin1String("fetch-all") && argc == 4)
        return fetch(args[2].toInt(), args[3], false, kImages);
    if (mode == QLatin1String("shared") && argc == 4)
        return shared(argv[2], argv[3]);
    if (mode == QLatin1String("progressive") && argc == 5)
        return progressive(argv[2], argv[3], args[4].toDouble());
    if (mode == QLatin1String("scroll") && argc == 5)
        return scroll(argv[2], argv[3], std::max(1, args[4].toInt()));
    if (mode == QLatin1String("beside") && argc == 5)
        return besideBench(argv[2], argv[3], std::max(1, args[4].toInt()));
    std::fprintf(stderr, "usage: pictor-net-bench serve|fetch|fetch-raw|shared|progressive|scroll|beside ...\n");
    return 2;
}
