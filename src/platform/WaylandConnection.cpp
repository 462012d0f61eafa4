#include "platform/WaylandConnection.h"

#include "foundation/Log.h"
#include "platform/SwayBackgroundOrder.h"
#include "platform/WaylandOutput.h"

#include "layer-shell-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSemaphore>
#include <QSocketNotifier>
#include <QThread>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
// How long a loss that Qt's reading thread noticed waits for the GUI thread to tell it.
constexpr int kTellLossMs = 5000;

template <typename Proxy>
Proxy* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted)
{
    return static_cast<Proxy*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

QPointer<WaylandConnection> sharedConnection;
QtMessageHandler qtHandler = nullptr;

// What Qt's Wayland platform says when its connection breaks, right before it ends the process.
bool isQtConnectionLoss(const QString& message)
{
    return message.startsWith(QLatin1String("The Wayland connection broke"))
        || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}
} // namespace

WaylandConnection* WaylandConnection::shared()
{
    static bool tried = false;
    if (!tried && qGuiApp && QGuiApplication::platformName() == QLatin1String("wayland")) {
        tried = true;
        sharedConnection = connect(QString(), qGuiApp).release();
        if (sharedConnection)
            qtHandler = qInstallMessageHandler(&WaylandConnection::watchQtMessages);
    }
    return sharedConnection;
}

void WaylandConnection::watchQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!isQtConnectionLoss(message) || !qApp) {
        if (qtHandler)
            qtHandler(type, context, message);
        return;
    }
    // Qt ends the process when this returns: the loss is told first, on the GUI thread, where
    // lost()'s listener saves. A GUI thread that does not come to it within the wait (stuck in a
    // call to the dead compositor) loses nothing written before.
    if (QThread::currentThread() == qApp->thread()) {
        if (sharedConnection)
            sharedConnection->fail();
    } else {
        QSemaphore told;
        QMetaObject::invokeMethod(qApp, [&told] {
            if (sharedConnection)
                sharedConnection->fail();
            told.release();
        }, Qt::QueuedConnection);
        told.tryAcquire(1, kTellLossMs);
    }
    std::_Exit(1);
}

std::unique_ptr<WaylandConnection> WaylandConnection::connect(const QString& displayName, QObject* parent)
{
    const QByteArray name = displayName.toUtf8();
    wl_display* display = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display, parent));
    // The globals, then what the bound ones tell at once (each output's name and scale).
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0)
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display, QObject* parent)
    : QObject(parent), display_(display), backgroundOrder_(new SwayBackgroundOrder(SwayIpc::ofSession(wl_display_get_fd(display)), this))
{
    static const wl_registry_listener listener = {onGlobal, onGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::beforeSleep);
}

WaylandConnection::~WaylandConnection()
{
    outputs_.clear();
    if (viewporter_)
        wp_viewporter_destroy(viewporter_);
    if (layerShell_) {
        if (zwlr_layer_shell_v1_get_version(layerShell_) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(layerShell_);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell_));
    }
    if (xdgOutputs_)
        zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (shm_)
        wl_shm_destroy(shm_);
    if (compositor_)
        wl_compositor_destroy(compositor_);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

WaylandOutput* WaylandConnection::output(const QString& name) const
{
    const auto found = std::find_if(outputs_.cbegin(), outputs_.cend(),
                                    [&name](const auto& output) { return output->isReady() && output->name() == name; });
    return found != outputs_.cend() ? found->get() : nullptr;
}

QStringList WaylandConnection::outputNames() const
{
    QStringList names;
    for (const auto& output : outputs_) {
        if (output->isReady())
            names << output->name();
    }
    return names;
}

void WaylandConnection::flush()
{
    if (!broken_ && wl_display_flush(display_) < 0 && errno != EAGAIN)
        fail();
}

void WaylandConnection::beforeSleep()
{
    // A roundtrip reads every event that came with its answer: those wait in the queue with
    // nothing left on the socket to wake us.
    if (!broken_ && wl_display_dispatch_pending(display_) < 0)
        return fail();
    flush();
}

void WaylandConnection::readEvents()
{
    if (broken_)
        return;
    // Events already queued are dispatched first: the read below is only allowed on an empty queue.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0)
            return fail();
    }
    wl_display_flush(display_);
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0)
        return fail();
    flush();
}

void WaylandConnection::fail()
{
    if (broken_)
        return;
    broken_ = true;
    notifier_->setEnabled(false);
    // Qt's connection may be the one that noticed: ours is broken all the same, or about to be.
    const int error = wl_display_get_error(display_);
    logLine(QStringLiteral("❌"), QStringLiteral("Wayland"),
            QStringLiteral("Lost the connection to the Wayland compositor (%1); quitting")
                .arg(QString::fromLocal8Bit(std::strerror(error != 0 ? error : EPIPE))));
    Q_EMIT lost();
    QCoreApplication::exit(1);
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    const auto is = [interface](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    if (is(wl_compositor_interface) && !self->compositor_) {
        // Version 4 damages in buffer pixels.
        self->compositor_ = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (is(wl_shm_interface) && !self->shm_) {
        self->shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is(zwlr_layer_shell_v1_interface) && !self->layerShell_) {
        self->layerShell_ = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
    } else if (is(wp_viewporter_interface) && !self->viewporter_) {
        self->viewporter_ = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (is(zxdg_output_manager_v1_interface) && !self->xdgOutputs_) {
        self->xdgOutputs_ = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (const auto& output : self->outputs_)
            output->askNameOf(self->xdgOutputs_);
    } else if (is(wl_output_interface)) {
        auto* output = bind<wl_output>(registry, name, &wl_output_interface, version, 4);
        self->outputs_.push_back(std::make_unique<WaylandOutput>(output, name, self->xdgOutputs_, [self] { Q_EMIT self->outputsChanged(); }));
    }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    auto* self = static_cast<WaylandConnection*>(data);
    const auto gone = std::find_if(self->outputs_.begin(), self->outputs_.end(),
                                   [name](const auto& output) { return output->globalName() == name; });
    if (gone == self->outputs_.end())
        return;
    self->outputs_.erase(gone);
    Q_EMIT self->outputsChanged();
}
