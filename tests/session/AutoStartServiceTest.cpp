#include "session/AutoStartService.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"
#include "support/FakeLoginItem.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Status = LoginItem::Status;

// The two services over a fake login item, with every announcement recorded.
class AutoStartServiceTest : public ::testing::Test {
protected:
    AutoStartServiceTest()
    {
        QObject::connect(&center, &NotificationCenter::posted, &center,
            [this](const QString& name, const QVariantMap& info) { posts.append(name + u'=' + info.value(QStringLiteral("isEnabled")).toString()); });
    }

    AutoStartService& makeSwitch()
    {
        autoStart = std::make_unique<AutoStartService>(loginItems, defaults, center);
        return *autoStart;
    }
    bool stored(const QString& key) const { return defaults.boolean(key); }

    FakeLoginItem item;
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    NotificationCenter center;
    LoginItemService loginItems{item, defaults, center};
    std::unique_ptr<AutoStartService> autoStart;
    QStringList posts;
    LogCapture log;
};

TEST_F(AutoStartServiceTest, StartsFromTheSystemStatus)
{
    EXPECT_FALSE(makeSwitch().isEnabled());
    item.setStatus(Status::Enabled);
    EXPECT_TRUE(makeSwitch().isEnabled());
    EXPECT_TRUE(posts.isEmpty());
}

TEST_F(AutoStartServiceTest, SwitchingOnRegistersRecordsAndAnnounces)
{
    AutoStartService& service = makeSwitch();
    service.toggle();

    EXPECT_TRUE(service.isEnabled());
    EXPECT_EQ(item.status(), Status::Enabled);
    EXPECT_TRUE(stored(LoginItemService::startOnLoginKey));
    EXPECT_TRUE(stored(AutoStartService::autoStartKey));
    EXPECT_EQ(posts, (QStringList{"LoginItemServiceDidChange=true", "AutoStartServiceDidChange=true"}));
    EXPECT_EQ(log.lines(), (QStringList{"Start on login enabled using SMAppService", "Auto-start changed: true", "Auto-start toggled: true"}));
}

TEST_F(AutoStartServiceTest, SwitchingOnWhileRegisteredRegistersNothingNew)
{
    item.setStatus(Status::Enabled);
    AutoStartService& service = makeSwitch();
    service.setIsEnabled(true);

    EXPECT_EQ(item.registerCalls, 0);
    EXPECT_EQ(posts, (QStringList{"LoginItemServiceDidChange=true", "AutoStartServiceDidChange=true"}));
    EXPECT_EQ(log.lines(), (QStringList{"App already registered as login item", "Auto-start changed: true"}));
}

TEST_F(AutoStartServiceTest, AFailedRegistrationPutsTheSwitchBack)
{
    item.registerFailure = QStringLiteral("disk full");
    AutoStartService& service = makeSwitch();
    service.toggle();

    EXPECT_FALSE(service.isEnabled());
    EXPECT_FALSE(stored(LoginItemService::startOnLoginKey));
    EXPECT_FALSE(stored(AutoStartService::autoStartKey));
    // The nested switch-off tries to unregister the item that never was.
    EXPECT_EQ(item.unregisterCalls, 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to register as login item: disk full")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Auto-start changed: false")).size(), 2);
    EXPECT_EQ(log.lines().last(), QStringLiteral("Auto-start toggled: false"));
}

TEST_F(AutoStartServiceTest, SwitchingOffWhenNotRegisteredOnlyLogsTheFailure)
{
    item.unregisterFailure = QStringLiteral("The login item is not registered");
    AutoStartService& service = makeSwitch();
    service.setEnabled(false);

    EXPECT_FALSE(service.isEnabled());
    EXPECT_EQ(log.lines(), (QStringList{"Failed to unregister login item: The login item is not registered",
                               "Auto-start changed: false", "Auto-start set to: false"}));
}

TEST_F(AutoStartServiceTest, AnItemThatStaysEnabledTurnsTheSwitchBackOn)
{
    item.setStatus(Status::Enabled);
    item.unregisterFailure = QStringLiteral("refused");
    AutoStartService& service = makeSwitch();
    service.toggle();

    EXPECT_TRUE(service.isEnabled());
    EXPECT_TRUE(log.contains(QStringLiteral("App already registered as login item")));
    EXPECT_TRUE(stored(AutoStartService::autoStartKey));
}

TEST_F(AutoStartServiceTest, AnItemAwaitingApprovalStaysPending)
{
    item.statusAfterRegistering = Status::RequiresApproval;
    AutoStartService& service = makeSwitch();
    service.setEnabled(true);

    EXPECT_TRUE(service.isEnabled());
    EXPECT_EQ(item.settingsOpened, 1);
    EXPECT_EQ(item.unregisterCalls, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("Login item requires approval - opening System Settings")));
    EXPECT_TRUE(stored(LoginItemService::startOnLoginKey));
    EXPECT_TRUE(makeSwitch().isEnabled());
}

} // namespace
