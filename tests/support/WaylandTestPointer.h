#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

struct wl_display;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

// A pointer of the test's own on a headless compositor, which has no input devices: a virtual
// pointer on its seat, on a connection of its own.
class WaylandTestPointer {
public:
    explicit WaylandTestPointer(const QString& display);
    ~WaylandTestPointer();
    WaylandTestPointer(const WaylandTestPointer&) = delete;
    WaylandTestPointer& operator=(const WaylandTestPointer&) = delete;

    bool isReady() const { return pointer_ != nullptr; }
    // Moves to a point of the output layout (of the given size) and clicks the left button; the
    // compositor has handled it all when this returns.
    bool clickAt(QPoint at, QSize layout);

private:
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    zwlr_virtual_pointer_manager_v1* manager_ = nullptr;
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
};

// Watches another client's connection for its seat's pointer entering any of its surfaces.
// Its events are read by whoever reads that connection.
class WaylandPointerWitness {
public:
    explicit WaylandPointerWitness(wl_display* display);
    ~WaylandPointerWitness();
    WaylandPointerWitness(const WaylandPointerWitness&) = delete;
    WaylandPointerWitness& operator=(const WaylandPointerWitness&) = delete;

    // The seat has a pointer now, so an enter would be told.
    bool hasPointer() const { return pointer_ != nullptr; }
    int enters() const { return enters_; }

private:
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void onCapabilities(void* data, wl_seat* seat, uint32_t capabilities);

    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    int enters_ = 0;
};
