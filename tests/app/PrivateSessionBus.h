#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

// A D-Bus daemon of the test's own, with a session bus configuration, running while alive.
class PrivateSessionBus {
public:
    // `serviceFolder`, when given, holds the services the bus starts on demand.
    explicit PrivateSessionBus(const QString& serviceFolder = {});
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }
    // A new connection to the bus under a name of its own.
    QDBusConnection connect(const QString& name) const;
    // Emits a signal on the bus from the connection named `from` (by default one of its own).
    void emitSignal(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments,
        const QString& from = QStringLiteral("quorvelle-test-sender")) const;

private:
    QProcess daemon_;
    QString address_;
    mutable QStringList connections_;
};
