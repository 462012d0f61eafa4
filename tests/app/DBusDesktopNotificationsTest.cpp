#include "PrivateSessionBus.h"

#include "foundation/ApplicationId.h"
#include "menubar/NamedIconEngine.h"
#include "platform/DBusDesktopNotifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QImage>
#include <QPixmap>
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
    QString icon;
    QVariantMap hints;

public Q_SLOTS:
    uint Notify(const QString& appName, uint, const QString& appIcon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hintsGiven, int)
    {
        application = appName;
        icon = appIcon;
        hints = hintsGiven;
        summaries.append(summary);
        bodies.append(body);
        return uint(summaries.size());
    }
};

// The "image-data" hint's picture; null when it is not one.
QImage imageIn(const QVariant& hint)
{
    if (!hint.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument data = hint.value<QDBusArgument>();
    qint32 width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray bytes;
    data.beginStructure();
    data >> width >> height >> stride >> alpha >> bits >> channels >> bytes;
    data.endStructure();
    if (!alpha || bits != 8 || channels != 4 || bytes.size() < qsizetype(stride) * height)
        return {};
    return QImage(reinterpret_cast<const uchar*>(bytes.constData()), width, height, stride, QImage::Format_RGBA8888).copy();
}

// A private session bus with the recording service on it.
class DBusDesktopNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        QDBusConnection serviceSide = bus.connect(QStringLiteral("notification-service"));
        ASSERT_TRUE(serviceSide.registerObject(DBusDesktopNotifications::kPath, &service, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(serviceSide.registerService(DBusDesktopNotifications::kService));
    }

    PrivateSessionBus bus;
    RecordingNotificationService service;
};

TEST_F(DBusDesktopNotificationsTest, ANotificationReachesTheSessionsService)
{
    DBusDesktopNotifications notifications(bus.connect(QStringLiteral("application")));
    notifications.notify(QStringLiteral("Failed to reapply wallpaper"), QStringLiteral("The video is gone."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.summaries.isEmpty(); }, 10'000));
    EXPECT_EQ(service.summaries, QStringList{QStringLiteral("Failed to reapply wallpaper")});
    EXPECT_EQ(service.bodies, QStringList{QStringLiteral("The video is gone.")});
    EXPECT_EQ(service.application, QCoreApplication::applicationName());
}

// A session without a notification service (a compositor such as sway comes without any) gets
// no call: there is someone to show a notification only while a service owns the name.
TEST_F(DBusDesktopNotificationsTest, ThereIsAServiceOnlyWhileOneOwnsTheName)
{
    DBusDesktopNotifications notifications(bus.connect(QStringLiteral("application")));
    EXPECT_TRUE(notifications.hasService());
    QDBusConnection serviceSide = bus.connect(QStringLiteral("notification-service"));
    ASSERT_TRUE(serviceSide.unregisterService(DBusDesktopNotifications::kService));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notifications.hasService(); }, 10'000)) << "a service counted that owns nothing";
    ASSERT_TRUE(serviceSide.registerService(DBusDesktopNotifications::kService));
    EXPECT_TRUE(notifications.hasService());
    notifications.notify(QStringLiteral("Live Wallpaper Not Shown"), QStringLiteral("swaybg covers it."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !service.summaries.isEmpty(); }, 10'000));
}

// Each notification names the launcher entry and carries the icon: by its name in the icon
// theme when the theme holds it, else as a picture.
TEST_F(DBusDesktopNotificationsTest, ANotificationCarriesTheApplicationsEntryAndIcon)
{
    QPixmap picture(64, 64);
    picture.fill(QColor(0x5b, 0x7c, 0xfa));
    struct Case {
        const char* name;
        QIcon icon;
        QString iconName;
    };
    const Case cases[] = {
        {"in the theme", QIcon(new NamedIconEngine(ApplicationId::id(), QIcon(picture))), ApplicationId::id()},
        {"a picture only", QIcon(picture), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.summaries.clear();
        DBusDesktopNotifications notifications(bus.connect(QStringLiteral("application")), c.icon);
        notifications.notify(QStringLiteral("Failed to reapply wallpaper"), QStringLiteral("The video is gone."));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !service.summaries.isEmpty(); }, 10'000));
        EXPECT_EQ(service.icon, c.iconName);
        EXPECT_EQ(service.hints.value(QStringLiteral("desktop-entry")), ApplicationId::id());
        const QImage image = imageIn(service.hints.value(QStringLiteral("image-data")));
        if (c.iconName.isEmpty()) {
            ASSERT_EQ(image.size(), QSize(DBusDesktopNotifications::kImageSide, DBusDesktopNotifications::kImageSide));
            EXPECT_EQ(image.pixelColor(24, 24), QColor(0x5b, 0x7c, 0xfa));
        } else {
            EXPECT_FALSE(service.hints.contains(QStringLiteral("image-data")));
        }
    }
}

} // namespace

#include "DBusDesktopNotificationsTest.moc"
