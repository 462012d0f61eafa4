#include "PrivateSessionBus.h"

#include "platform/DesktopColorScheme.h"

#include <QCoreApplication>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Preference = DesktopColorScheme::Preference;

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal's settings on the test's bus: answers the colour scheme as the portal does (the
// value inside a variant of its own), or that it has no such setting.
class FakeSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    std::optional<uint> scheme;

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        if (!scheme || group != kGroup || key != kKey) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found"));
            return {};
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*scheme)));
    }
};

// What the portal may say, bare or wrapped as its replies wrap it.
TEST(DesktopColorSchemeValues, ThePortalsNumbersAreReadAndNothingElse)
{
    const auto wrapped = [](const QVariant& value) { return QVariant::fromValue(QDBusVariant(value)); };
    const struct {
        const char* name;
        QVariant value;
        std::optional<Preference> preference;
    } cases[] = {
        {"no preference", QVariant(0u), Preference::none},
        {"dark", wrapped(QVariant(1u)), Preference::dark},
        {"light, wrapped twice", wrapped(wrapped(QVariant(2u))), Preference::light},
        {"a number the portal does not define", QVariant(3u), std::nullopt},
        {"text", wrapped(QVariant(QStringLiteral("dark"))), std::nullopt},
        {"nothing", QVariant(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DesktopColorScheme::fromPortalValue(c.value), c.preference);
    }
}

class DesktopColorSchemeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.isRunning());
        portalSide_ = bus_.connect(QStringLiteral("portal"));
        ASSERT_TRUE(portalSide_.registerObject(kPath, &portal_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(portalSide_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }
    void announce(uint scheme)
    {
        bus_.emitSignal(kPath, kInterface, QStringLiteral("SettingChanged"),
            {kGroup, kKey, QVariant::fromValue(QDBusVariant(scheme))}, QStringLiteral("portal"));
    }

    PrivateSessionBus bus_;
    QDBusConnection portalSide_{QStringLiteral("unused")};
    FakeSettingsPortal portal_;
};

// The preference the desktop gives when asked, then each change it announces.
TEST_F(DesktopColorSchemeTest, ThePreferenceIsReadThenFollowed)
{
    portal_.scheme = 2;
    DesktopColorScheme scheme(bus_.connect(QStringLiteral("application")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.preference() == Preference::light; }, 10'000));
    announce(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.preference() == Preference::dark; }, 10'000));
    announce(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.preference() == Preference::none; }, 10'000));
}

// A portal without the setting leaves it unknown, until the desktop announces one.
TEST_F(DesktopColorSchemeTest, APortalWithoutTheSettingLeavesItUnknown)
{
    DesktopColorScheme scheme(bus_.connect(QStringLiteral("application")));
    bool answered = false;
    QDBusMessage probe = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"), kPath, kInterface, QStringLiteral("Read"));
    probe << kGroup << kKey;
    // Asked after the scheme asked: once its answer is in, the scheme's is too.
    QDBusPendingCallWatcher after(bus_.connect(QStringLiteral("prober")).asyncCall(probe));
    QObject::connect(&after, &QDBusPendingCallWatcher::finished, [&] { answered = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 10'000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(scheme.preference());
    announce(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.preference() == Preference::light; }, 10'000));
}

} // namespace

#include "DesktopColorSchemeTest.moc"
