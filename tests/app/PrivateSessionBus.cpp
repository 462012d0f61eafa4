#include "PrivateSessionBus.h"

#include <QDBusMessage>
#include <QFile>

PrivateSessionBus::PrivateSessionBus(const QString& serviceFolder)
{
    QStringList arguments{QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")};
    if (!serviceFolder.isEmpty()) {
        // The standard session configuration, with only the given folder for activation.
        const QString configPath = serviceFolder + QStringLiteral("/session.conf");
        QFile config(configPath);
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\" "
                                    "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                    "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                                    "<servicedir>%1</servicedir><policy context=\"default\"><allow send_destination=\"*\" "
                                    "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(serviceFolder.toHtmlEscaped())
                         .toUtf8());
        config.close();
        arguments = {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"), QStringLiteral("--print-address")};
    }
    daemon_.start(QStringLiteral("dbus-daemon"), arguments);
    if (!daemon_.waitForStarted(5'000))
        return;
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5'000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus()
{
    for (const QString& name : std::as_const(connections_))
        QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    daemon_.waitForFinished(5'000);
}

QDBusConnection PrivateSessionBus::connect(const QString& name) const
{
    connections_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

void PrivateSessionBus::emitSignal(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments,
    const QString& from) const
{
    QDBusConnection sender = connect(from);
    QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
    message.setArguments(arguments);
    sender.send(message);
}
