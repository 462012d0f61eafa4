// One launch of a program that keeps one copy per profile, for the launch-burst tests:
//
//   single-instance-launch SOCKET RECORD-FOLDER LINKS-TO-WAIT-FOR [LINK]
//
// Hands LINK (none: only asks for the window) to the running copy and exits 0, or exits 1 when
// it could not. When it becomes the running copy itself, it writes "running-<pid>" into the
// record folder, then one line per link it receives into "links-<pid>", and exits 0 once it
// has received LINKS-TO-WAIT-FOR links (2 when they never came).
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4)
        return 64;
    const QString record = arguments[2] + u'/';
    const int expected = arguments[3].toInt();
    const QStringList links = arguments.mid(4);

    SingleInstance instance(arguments[1]);
    switch (instance.claim(links)) {
    case SingleInstance::Claim::running:
        break;
    case SingleInstance::Claim::handedOver:
    case SingleInstance::Claim::alreadyRunning:
        return 0;
    case SingleInstance::Claim::notHandedOver:
        return 1;
    }
    const QString pid = QString::number(::getpid());
    if (!QFile(record + QStringLiteral("running-") + pid).open(QIODevice::WriteOnly))
        return 2;
    QFile received(record + QStringLiteral("links-") + pid);
    if (!received.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 2;
    int count = 0;
    QObject::connect(&instance, &SingleInstance::linkReceived, [&](const QString& link) {
        received.write(link.toUtf8() + '\n');
        if (++count >= expected)
            QCoreApplication::quit();
    });
    if (count >= expected)
        return 0;
    // A burst that never comes ends the copy rather than leaving it behind.
    QTimer::singleShot(120'000, [] { QCoreApplication::exit(2); });
    return QCoreApplication::exec();
}
