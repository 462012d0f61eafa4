#include "platform/DesktopColorScheme.h"

#include "foundation/Log.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
} // namespace

DesktopColorScheme::DesktopColorScheme(QObject* parent) : DesktopColorScheme(QDBusConnection::sessionBus(), parent) {}

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject* parent) : QObject(parent)
{
    if (!bus.isConnected())
        return;
    // The bus finds the slot by its types' names: QDBusVariant's is known only once registered,
    // and nothing else may have registered it yet.
    qRegisterMetaType<QDBusVariant>();
    if (!bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
            SLOT(settingChanged(QString, QString, QDBusVariant))))
        logLine(QStringLiteral("⚠️"), QStringLiteral("DesktopColorScheme"),
            QStringLiteral("Cannot follow the desktop's colour scheme: ") + bus.lastError().message());
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &DesktopColorScheme::answered);
}

std::optional<DesktopColorScheme::Preference> DesktopColorScheme::fromPortalValue(const QVariant& value)
{
    // Read answers the setting inside a variant of its own; replies may nest it further.
    QVariant inner = value;
    for (int depth = 0; depth < 4 && inner.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        inner = inner.value<QDBusVariant>().variant();
    if (inner.metaType() != QMetaType::fromType<uint>() && inner.metaType() != QMetaType::fromType<int>())
        return std::nullopt;
    switch (inner.toInt()) {
    case 0:
        return Preference::none;
    case 1:
        return Preference::dark;
    case 2:
        return Preference::light;
    default:
        return std::nullopt;
    }
}

void DesktopColorScheme::answered(QDBusPendingCallWatcher* call)
{
    const QDBusPendingReply<QDBusVariant> reply = *call;
    call->deleteLater();
    // No portal, or one without the setting: the preference stays unknown.
    if (reply.isError())
        return;
    // A change heard meanwhile is newer than this answer.
    if (!preference_)
        setPreference(fromPortalValue(QVariant::fromValue(reply.value())));
}

void DesktopColorScheme::settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group != kGroup || key != kKey)
        return;
    setPreference(fromPortalValue(value.variant()));
}

void DesktopColorScheme::setPreference(std::optional<Preference> preference)
{
    if (preference == preference_)
        return;
    preference_ = preference;
    Q_EMIT preferenceChanged();
}
