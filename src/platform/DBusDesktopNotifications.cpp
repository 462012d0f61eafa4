#include "platform/DBusDesktopNotifications.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {
// The service picks its own time-out.
constexpr qint32 kDefaultTimeout = -1;
} // namespace

DBusDesktopNotifications::DBusDesktopNotifications() : DBusDesktopNotifications(QDBusConnection::sessionBus()) {}

DBusDesktopNotifications::DBusDesktopNotifications(QDBusConnection bus) : bus_(std::move(bus)) {}

void DBusDesktopNotifications::notify(const QString& summary, const QString& body)
{
    if (!bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout.
    call << QCoreApplication::applicationName() << quint32(0) << QString() << summary << body << QStringList()
         << QVariantMap() << kDefaultTimeout;
    call.setAutoStartService(true);
    bus_.send(call);
}
