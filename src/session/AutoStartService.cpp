#include "session/AutoStartService.h"

#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"

namespace {
QString text(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
} // namespace

AutoStartService::AutoStartService(QObject* parent)
    : AutoStartService(LoginItemService::shared(), UserDefaults::standard(), NotificationCenter::shared(), parent)
{
}

AutoStartService::AutoStartService(LoginItemService& loginItems, UserDefaults& defaults, NotificationCenter& center, QObject* parent)
    : QObject(parent), loginItems_(loginItems), defaults_(defaults), center_(center), isEnabled_(loginItems.isLoginItemOn())
{
    connect(&center_, &NotificationCenter::posted, this, &AutoStartService::handleExternalChange);
}

AutoStartService& AutoStartService::shared() { return Shared<AutoStartService>::instance(); }

void AutoStartService::setIsEnabled(bool enabled)
{
    const bool changed = enabled != isEnabled_;
    isEnabled_ = enabled;
    if (changed)
        Q_EMIT isEnabledChanged();
    didSetIsEnabled();
}

void AutoStartService::toggle()
{
    setIsEnabled(!isEnabled_);
    logLine(QStringLiteral("Auto-start toggled: ") + text(isEnabled_));
}

void AutoStartService::setEnabled(bool enabled)
{
    setIsEnabled(enabled);
    logLine(QStringLiteral("Auto-start set to: ") + text(enabled));
}

void AutoStartService::didSetIsEnabled()
{
    // Each step reads the switch afresh: the login-item call may pull it back to the system's
    // status (through handleExternalChange) before the later steps run.
    loginItems_.setEnabled(isEnabled_);
    defaults_.setBool(autoStartKey, isEnabled_);
    center_.post(didChangeNotification, {{LoginItemService::isEnabledKey, isEnabled_}});
    logLine(QStringLiteral("Auto-start changed: ") + text(isEnabled_));
}

void AutoStartService::handleExternalChange(const QString& name, const QVariantMap&)
{
    if (name != LoginItemService::didChangeNotification)
        return;
    const bool registered = loginItems_.isLoginItemOn();
    if (registered != isEnabled_)
        setIsEnabled(registered);
}
