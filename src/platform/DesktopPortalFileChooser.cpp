#include "platform/DesktopPortalFileChooser.h"

#include "foundation/Shared.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

// The portal's filter: a name and (kind, pattern) pairs, kind 0 being a glob; "a(sa(us))" on the
// wire.
struct PortalPattern {
    uint kind = 0;
    QString pattern;
};
struct PortalFilter {
    QString name;
    QList<PortalPattern> patterns;
};
Q_DECLARE_METATYPE(PortalPattern)
Q_DECLARE_METATYPE(PortalFilter)

QDBusArgument& operator<<(QDBusArgument& argument, const PortalPattern& pattern)
{
    argument.beginStructure();
    argument << pattern.kind << pattern.pattern;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalPattern& pattern)
{
    argument.beginStructure();
    argument >> pattern.kind >> pattern.pattern;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const PortalFilter& filter)
{
    argument.beginStructure();
    argument << filter.name << filter.patterns;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalFilter& filter)
{
    argument.beginStructure();
    argument >> filter.name >> filter.patterns;
    argument.endStructure();
    return argument;
}

namespace {
constexpr uint kGlob = 0;
// The Request's response codes: anything else (2, the request "ended in some other way") is
// no choice of the user's.
constexpr uint kAnswered = 0;
constexpr uint kCancelled = 1;

PortalFilter portalFilter(const DesktopPortalFileChooser::Filter& filter)
{
    PortalFilter wire{filter.name, {}};
    for (const QString& pattern : filter.patterns)
        wire.patterns.append({kGlob, pattern});
    return wire;
}
} // namespace

DesktopPortalFileChooser::DesktopPortalFileChooser(QObject* parent)
    : DesktopPortalFileChooser(QDBusConnection::sessionBus(), parent)
{
}

DesktopPortalFileChooser::DesktopPortalFileChooser(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus))
{
    qDBusRegisterMetaType<PortalPattern>();
    qDBusRegisterMetaType<QList<PortalPattern>>();
    qDBusRegisterMetaType<PortalFilter>();
    qDBusRegisterMetaType<QList<PortalFilter>>();
}

DesktopPortalFileChooser& DesktopPortalFileChooser::shared() { return Shared<DesktopPortalFileChooser>::instance(); }

bool DesktopPortalFileChooser::isAvailable() const
{
    if (!bus_.isConnected() || !bus_.interface())
        return false;
    // A portal the bus starts on the first call is there as much as one already running.
    return bus_.interface()->isServiceRegistered(kService).value()
        || bus_.interface()->activatableServiceNames().value().contains(kService);
}

void DesktopPortalFileChooser::openFile(quintptr parentWindow, const QString& title, const Filter& filter, Done done)
{
    // The portal answers on a request object named after our connection and a token of ours;
    // listening before the call means even an instant answer is heard.
    const QString token = QStringLiteral("quorvelle%1").arg(++requests_);
    const QString sender = bus_.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    pending_.insert(handle, std::move(done));
    listen(handle);

    const PortalFilter offered = portalFilter(filter);
    const QVariantMap options{
        {QStringLiteral("handle_token"), token},
        {QStringLiteral("modal"), true},
        {QStringLiteral("filters"), QVariant::fromValue(QList<PortalFilter>{offered})},
        {QStringLiteral("current_filter"), QVariant::fromValue(offered)},
    };
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("OpenFile"));
    const QString parent = parentWindow ? QStringLiteral("x11:") + QString::number(parentWindow, 16) : QString();
    call << parent << title << options;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, handle](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            finish(handle, Outcome::Failed);
            return;
        }
        // An older portal may answer on another object than the one asked for.
        if (const QString actual = reply.value().path(); actual != handle && pending_.contains(handle)) {
            pending_.insert(actual, pending_.take(handle));
            listen(actual);
        }
    });
}

void DesktopPortalFileChooser::listen(const QString& handle)
{
    bus_.connect(kService, handle, kRequestInterface, QStringLiteral("Response"), this,
        SLOT(handleResponse(uint, QVariantMap, QDBusMessage)));
}

void DesktopPortalFileChooser::handleResponse(uint response, const QVariantMap& results, const QDBusMessage& message)
{
    const QString handle = message.path();
    if (response != kAnswered) {
        finish(handle, response == kCancelled ? Outcome::Cancelled : Outcome::Failed);
        return;
    }
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    const QUrl picked = uris.isEmpty() ? QUrl() : QUrl(uris.first());
    if (picked.isLocalFile())
        finish(handle, Outcome::Picked, picked.toLocalFile());
    else
        finish(handle, Outcome::Failed);
}

void DesktopPortalFileChooser::finish(const QString& handle, Outcome outcome, const QString& path)
{
    bus_.disconnect(kService, handle, kRequestInterface, QStringLiteral("Response"), this,
        SLOT(handleResponse(uint, QVariantMap, QDBusMessage)));
    if (Done done = pending_.take(handle))
        done(outcome, path);
}
