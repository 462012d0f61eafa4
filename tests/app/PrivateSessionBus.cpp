#include "PrivateSessionBus.h"

#include <QDBusMessage>

PrivateSessionBus::PrivateSessionBus()
{
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
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
