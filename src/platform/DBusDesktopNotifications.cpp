#include "platform/DBusDesktopNotifications.h"

#include "foundation/ApplicationId.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QImage>
#include <QStringList>
#include <QVariantMap>

namespace {
// The service picks its own time-out.
constexpr qint32 kDefaultTimeout = -1;

// The "image-data" hint: width, height, row stride, alpha, bits per sample, channels, RGBA bytes.
QVariant imageData(const QIcon& icon)
{
    const QImage image = icon.pixmap(DBusDesktopNotifications::kImageSide).toImage().convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument data;
    data.beginStructure();
    data << qint32(image.width()) << qint32(image.height()) << qint32(image.bytesPerLine()) << true << qint32(8) << qint32(4)
         << QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    data.endStructure();
    return QVariant::fromValue(data);
}
} // namespace

DBusDesktopNotifications::DBusDesktopNotifications() : DBusDesktopNotifications(QDBusConnection::sessionBus()) {}

DBusDesktopNotifications::DBusDesktopNotifications(QDBusConnection bus, QIcon icon) : bus_(std::move(bus)), icon_(std::move(icon)) {}

bool DBusDesktopNotifications::hasService() const
{
    const QDBusConnectionInterface* names = bus_.isConnected() ? bus_.interface() : nullptr;
    if (!names)
        return false;
    if (names->isServiceRegistered(kService).value())
        return true;
    const QDBusReply<QStringList> startable = names->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kService);
}

void DBusDesktopNotifications::notify(const QString& summary, const QString& body)
{
    if (!hasService())
        return;
    const QIcon icon = icon_.isNull() ? QGuiApplication::windowIcon() : icon_;
    QVariantMap hints{{QStringLiteral("desktop-entry"), ApplicationId::id()}};
    const QString iconName = icon.name();
    if (iconName.isEmpty() && !icon.isNull())
        hints.insert(QStringLiteral("image-data"), imageData(icon));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout.
    call << QCoreApplication::applicationName() << quint32(0) << iconName << summary << body << QStringList() << hints
         << kDefaultTimeout;
    call.setAutoStartService(true);
    bus_.send(call);
}
