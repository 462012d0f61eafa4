#include "foundation/Log.h"
#include "platform/UnixSignalWatcher.h"

#include <QApplication>

#include <clocale>
#include <csignal>
#include <cstdio>

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("Quorvelle %s\n", QUORVELLE_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quorvelle"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [](int) { QApplication::quit(); });

    logLine(QStringLiteral("🚀"), QStringLiteral("Quorvelle"), QStringLiteral("Started version ") + QStringLiteral(QUORVELLE_VERSION));
    const int code = QApplication::exec();
    logLine(QStringLiteral("👋"), QStringLiteral("Quorvelle"), QStringLiteral("Quit"));
    return code;
}
