// The sample catalogue as a process of its own, for scripts/run and for tests that want a child
// process: `sample-catalogue [--port N] [--generate-all] ...`, until SIGINT or SIGTERM; with
// `--generate-only`, draws the media and exits.

#include "SampleCatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <cstdio>

using samplecatalogue::SampleCatalogue;

namespace {
// The port the application's built-in configuration points at.
constexpr quint16 kDefaultPort = 48443;

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void complain(const QString& line)
{
    std::fprintf(stderr, "sample-catalogue: %s\n", qPrintable(line));
}
} // namespace

int main(int argc, char** argv)
{
    // Block the stop signals before any thread exists, so every thread inherits the mask and the
    // main thread alone takes them with sigwait().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sample-catalogue"));

    SampleCatalogue::Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Loopback stand-in for the Quorvelle catalogue backend and asset host."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1; 0 picks a free one."),
                                  QStringLiteral("N"), QString::number(kDefaultPort));
    const QCommandLineOption cert(QStringLiteral("cert"), QStringLiteral("TLS certificate (PEM)."), QStringLiteral("FILE"),
                                  options.certificateFile);
    const QCommandLineOption key(QStringLiteral("key"), QStringLiteral("TLS private key (PEM)."), QStringLiteral("FILE"),
                                 options.privateKeyFile);
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Catalogue seed file."), QStringLiteral("FILE"),
                                  options.seedFile);
    const QCommandLineOption media(QStringLiteral("media"), QStringLiteral("Folder of the generated media."),
                                   QStringLiteral("DIR"), options.mediaFolder);
    const QCommandLineOption bearer(QStringLiteral("bearer-key"), QStringLiteral("Bearer key every backend call must carry."),
                                    QStringLiteral("KEY"), options.bearerKey);
    const QCommandLineOption ffmpeg(QStringLiteral("ffmpeg"), QStringLiteral("The ffmpeg program."), QStringLiteral("PATH"),
                                    options.ffmpeg);
    const QCommandLineOption generateAll(QStringLiteral("generate-all"),
                                         QStringLiteral("Draw every missing media file before listening."));
    const QCommandLineOption generateOnly(QStringLiteral("generate-only"),
                                          QStringLiteral("Draw every missing media file, then exit (1 when one failed)."));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QStringLiteral("Parallel ffmpeg runs for --generate-all."),
                                  QStringLiteral("N"), QString::number(QThread::idealThreadCount()));
    const QCommandLineOption scenery(QStringLiteral("scenery"),
                                     QStringLiteral("Draw uncaptioned colour fields instead of captioned test patterns."));
    parser.addOptions({port, cert, key, seed, media, bearer, ffmpeg, generateAll, generateOnly, jobs, scenery});
    parser.process(app);

    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    bool jobsOk = false;
    const int jobCount = parser.value(jobs).toInt(&jobsOk);
    if (!portOk || portNumber > 65535 || !jobsOk || jobCount < 1) {
        complain(QStringLiteral("--port takes 0 to 65535 and --jobs a positive number"));
        return 2;
    }
    options.certificateFile = parser.value(cert);
    options.privateKeyFile = parser.value(key);
    options.seedFile = parser.value(seed);
    options.mediaFolder = parser.value(media);
    options.bearerKey = parser.value(bearer);
    options.ffmpeg = parser.value(ffmpeg);
    if (parser.isSet(scenery))
        options.look = samplecatalogue::MediaRecipe::Look::Scenery;
    SampleCatalogue catalogue(options);

    if (parser.isSet(generateAll) || parser.isSet(generateOnly)) {
        QElapsedTimer timer;
        timer.start();
        const bool generated = catalogue.generateAllMedia(jobCount, [](int done, int total) {
            say(QStringLiteral("sample-catalogue: generating media %1/%2").arg(done).arg(total));
        });
        if (generated)
            say(QStringLiteral("sample-catalogue: media ready in %1 (%2 s)")
                    .arg(options.mediaFolder)
                    .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
        else
            complain(QStringLiteral("some media could not be generated, they are retried on request: ")
                     + catalogue.errorString());
        if (parser.isSet(generateOnly))
            return generated ? 0 : 1;
    }

    if (!catalogue.start(quint16(portNumber))) {
        complain(catalogue.errorString());
        return 1;
    }
    say(QStringLiteral("sample-catalogue listening on %1").arg(catalogue.baseUrl()));

    int received = 0;
    sigwait(&stopSignals, &received);
    catalogue.stop();
    say(QStringLiteral("sample-catalogue: stopped"));
    return 0;
}
