#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// In-process announcements by name with a small payload ("user information"), such as
// "AutoStartServiceDidChange" with {"isEnabled": true}. Observers connect to posted() and pick
// the names they want; delivery is synchronous, inside post(), in the order observers connected.
// GUI thread; one shared instance.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static NotificationCenter& shared();

    void post(const QString& name, const QVariantMap& userInfo = {});

Q_SIGNALS:
    void posted(const QString& name, const QVariantMap& userInfo);
};
