#pragma once

#include <QObject>
#include <QSet>

#include <memory>
#include <vector>

struct wl_array;
struct wl_output;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// Every client's top-level windows as the compositor lists them (foreign toplevels), read for
// one thing: which outputs a full-screen window covers, so the desktop video there can stop.
// A minimized full-screen window covers nothing.
class WaylandToplevels : public QObject {
    Q_OBJECT
public:
    explicit WaylandToplevels(zwlr_foreign_toplevel_manager_v1* manager);
    ~WaylandToplevels() override;

    bool covers(wl_output* output) const { return covered_.contains(output); }
    // The output is gone: its address may come back for another.
    void forgetOutput(wl_output* output);

Q_SIGNALS:
    void coverageChanged();

private:
    struct Toplevel {
        WaylandToplevels* owner;
        zwlr_foreign_toplevel_handle_v1* handle;
        QSet<wl_output*> outputs;
        bool fullscreen = false;
        bool minimized = false;
    };

    void update();
    void drop(Toplevel* toplevel);
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);
    static void onOutputEnter(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output);
    static void onOutputLeave(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output);
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states);
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1*);
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*);

    zwlr_foreign_toplevel_manager_v1* manager_;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
    QSet<wl_output*> covered_;
};
