// One launch of a program that keeps one copy per profile, for the tests that start launches as
// processes of their own:
//
//   single-instance-launch RECORD-FOLDER [--wait-ms=N] [--hang] [LINK...]
//
// The profile and the folders the running copy may listen in come from the environment, as in
// the program ($XDG_CONFIG_HOME, $XDG_RUNTIME_DIR, $TMPDIR, $XDG_CACHE_HOME). Hands its LINKs
// (none: only asks for the window) to the running copy, waiting at most N ms for its answer, and
// exits 0, or exits 1 when it could not (its output says why). When it becomes the running copy
// itself, it writes "running-<pid>" into the record folder, then one line per link it receives
// into "links-<pid>", and exits 0 once it receives the link "quit". With --hang the running copy
// never answers anyone.
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <unistd.h>

namespace {
const QString kQuit = QStringLiteral("quit");
// A copy that is never told to quit ends rather than being left behind.
constexpr int kLifetimeS = 120;
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return 64;
    const QString record = arguments.takeFirst() + u'/';
    int waitMs = SingleInstance::kHandOverTimeoutMs;
    if (!arguments.isEmpty() && arguments.first().startsWith(QStringLiteral("--wait-ms=")))
        waitMs = arguments.takeFirst().mid(10).toInt();
    const bool hang = !arguments.isEmpty() && arguments.first() == QStringLiteral("--hang");
    if (hang)
        arguments.removeFirst();

    SingleInstance instance;
    switch (instance.claim(arguments, waitMs)) {
    case SingleInstance::Claim::running:
        break;
    case SingleInstance::Claim::handedOver:
    case SingleInstance::Claim::alreadyRunning:
        return 0;
    case SingleInstance::Claim::notHandedOver:
    case SingleInstance::Claim::lockUnavailable:
    case SingleInstance::Claim::earlierVersionRuns:
        return 1;
    }
    const QString pid = QString::number(::getpid());
    QFile received(record + QStringLiteral("links-") + pid);
    if (!received.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 2;
    // Written last: a test that sees it may count on the copy listening.
    if (!QFile(record + QStringLiteral("running-") + pid).open(QIODevice::WriteOnly))
        return 2;
    if (hang) {
        ::sleep(kLifetimeS);
        return 2;
    }
    QObject::connect(&instance, &SingleInstance::linkReceived, [&](const QString& link) {
        if (link == kQuit)
            QCoreApplication::quit();
        else
            received.write(link.toUtf8() + '\n');
    });
    QTimer::singleShot(kLifetimeS * 1000, [] { QCoreApplication::exit(2); });
    return QCoreApplication::exec();
}
