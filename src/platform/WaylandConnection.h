#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSocketNotifier;
class WaylandOutput;
class SwayBackgroundOrder;
struct wl_compositor;
struct wl_display;
struct wl_registry;
struct wl_shm;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;

// The desktop video's own connection to the Wayland compositor, beside Qt's: Qt 6.4 lets no
// application reach its connection or give its windows a layer role, so the background surfaces
// live here, on the display Qt uses (WAYLAND_DISPLAY). Its events are read on the GUI thread
// when its socket is readable, and its requests sent before the thread sleeps.
// Losing the compositor logs one line, tells lost() (which saves what is to be saved) and quits
// the application with exit code 1. Qt's own connection often notices first and ends the process
// at once, after a warning of its own: that warning is taken as the same loss, said in the same
// one line, and the process ends with the same code once lost() has been told.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // The application's connection, made on first use; null unless Qt runs on Wayland and the
    // compositor answers.
    static WaylandConnection* shared();
    // A connection to the given display (a name or a path; empty: WAYLAND_DISPLAY); null when
    // no compositor answers there.
    static std::unique_ptr<WaylandConnection> connect(const QString& displayName, QObject* parent = nullptr);
    ~WaylandConnection() override;

    wl_display* display() const { return display_; }
    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    // Null on compositors without background surfaces (GNOME's).
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    // Null when the compositor cannot scale buffers to a surface's size.
    wp_viewporter* viewporter() const { return viewporter_; }
    // The order of the background layer where sway is the compositor.
    SwayBackgroundOrder& backgroundOrder() const { return *backgroundOrder_; }
    // Whether desktop video can be shown: a compositor with shared memory and the layer shell.
    bool canShowBackgrounds() const { return compositor_ && shm_ && layerShell_; }

    // The output of that connector name, once its name and scale are known; null otherwise.
    WaylandOutput* output(const QString& name) const;
    QStringList outputNames() const;

    // Sends the requests made so far; done before the GUI thread sleeps anyway.
    void flush();
    bool isBroken() const { return broken_; }

Q_SIGNALS:
    // An output became ready, changed or went away.
    void outputsChanged();
    // The compositor is gone: the application is about to end, maybe at once, so a listener
    // saves now what must not be lost (connected directly). Told once, on the GUI thread.
    void lost();

private:
    explicit WaylandConnection(wl_display* display, QObject* parent);
    void readEvents();
    void beforeSleep();
    void fail();
    // Qt's messages, watched for its own connection's loss.
    static void watchQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message);
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    wp_viewporter* viewporter_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    SwayBackgroundOrder* backgroundOrder_;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    QSocketNotifier* notifier_ = nullptr;
    bool broken_ = false;
};
