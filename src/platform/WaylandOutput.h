#pragma once

#include <QString>

#include <functional>

struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// One wl_output of the compositor connection: its connector name ("DP-1", the name Qt gives the
// same screen) and its integer scale. Compositors that send no name on the output itself (before
// wl_output version 4) tell it through xdg-output. Ready once the first group of its properties
// has been sent and a name is known; `changed` runs after every group.
class WaylandOutput {
public:
    WaylandOutput(wl_output* output, quint32 globalName, zxdg_output_manager_v1* xdgOutputs, std::function<void()> changed);
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    wl_output* handle() const { return output_; }
    quint32 globalName() const { return globalName_; }
    QString name() const { return name_; }
    int scale() const { return scale_; }
    bool isReady() const { return done_ && !name_.isEmpty(); }
    // Asks xdg-output for the name when the output itself does not send one.
    void askNameOf(zxdg_output_manager_v1* xdgOutputs);

private:
    static void onGeometry(void*, wl_output*, int, int, int, int, int, const char*, const char*, int);
    static void onMode(void*, wl_output*, uint32_t, int, int, int);
    static void onDone(void* data, wl_output*);
    static void onScale(void* data, wl_output*, int factor);
    static void onName(void* data, wl_output*, const char* name);
    static void onDescription(void*, wl_output*, const char*);
    static void onXdgName(void* data, zxdg_output_v1*, const char* name);

    wl_output* output_;
    zxdg_output_v1* xdgOutput_ = nullptr;
    quint32 globalName_;
    std::function<void()> changed_;
    QString name_;
    int scale_ = 1;
    bool done_ = false;
};
