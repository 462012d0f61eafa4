#include "PrivateSessionBus.h"

#include "platform/DBusDesktopNotifications.h"

#include <QDBusConnection>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A notification service on the test's bus that keeps what it was asked to show.
class RecordingNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList bodies;
    QString application;

public Q_SLOTS:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        application = appName;
        summaries.append(summary);
        bodies.append(body);
        return uint(summaries.size());
    }
};

TEST(DBusDesktopNotificationsTest, ANotificationReachesTheSessionsService)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    RecordingNotificationService service;
    QDBusConnection serviceSide = bus.connect(QStringLiteral("notification-service"));
    ASSERT_TRUE(serviceSide.registerObject(DBusDesktopNotifications::kPath, &service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceSide.registerService(DBusDesktopNotifications::kService));

    DBusDesktopNotifications notifications(bus.connect(QStringLiteral("application")));
    notifications.notify(QStringLiteral("Failed to reapply wallpaper"), QStringLiteral("The video is gone."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.summaries.isEmpty(); }, 10'000));
    EXPECT_EQ(service.summaries, QStringList{QStringLiteral("Failed to reapply wallpaper")});
    EXPECT_EQ(service.bodies, QStringList{QStringLiteral("The video is gone.")});
    EXPECT_EQ(service.application, QCoreApplication::applicationName());
}

} // namespace

#include "DBusDesktopNotificationsTest.moc"
