#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariant>

#include <optional>

class QDBusPendingCallWatcher;
class QDBusVariant;

// The desktop's colour-scheme preference, as the desktop portal gives it (its appearance
// setting "color-scheme"): read once when made, without waiting for the answer, and followed as
// it changes. Without a session bus, a portal or the setting the preference stays unknown, and
// nothing is said. GUI thread.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    enum class Preference { none, dark, light };

    // The session bus's portal.
    explicit DesktopColorScheme(QObject* parent = nullptr);
    DesktopColorScheme(QDBusConnection bus, QObject* parent = nullptr);

    // Unknown until the portal has answered with the setting.
    std::optional<Preference> preference() const { return preference_; }

    // The portal's value, a number that replies may wrap in variants, as a preference; nothing
    // for anything else (a number the portal does not define included).
    static std::optional<Preference> fromPortalValue(const QVariant& value);

Q_SIGNALS:
    void preferenceChanged();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void answered(QDBusPendingCallWatcher* call);
    void setPreference(std::optional<Preference> preference);

    std::optional<Preference> preference_;
};
