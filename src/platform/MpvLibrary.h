#pragma once

#include <QString>
#include <QStringList>

#include <mpv/client.h>
#include <mpv/render.h>

#include <cstdint>

// libmpv, opened by the first player instead of linked: a start that plays no video yet does not
// load it and the many libraries it brings. Each function forwards to libmpv's own of the same
// name; create() gives none when the library cannot be opened, as mpv_create() does when it
// fails, and the others are only reached through what it made. Any thread.
class MpvLibrary {
public:
    // The file names tried, in order, for the library this build was made against.
    static QStringList libraryNames();
    // The first of `names` that opens; none, with each name's reason in `missing`, when none does.
    static void* openFirst(const QStringList& names, QString* missing);

    static mpv_handle* create();
    static int initialize(mpv_handle* mpv);
    static void terminateDestroy(mpv_handle* mpv);
    static void setWakeupCallback(mpv_handle* mpv, void (*callback)(void*), void* data);
    static int setOptionString(mpv_handle* mpv, const char* name, const char* value);
    static int requestLogMessages(mpv_handle* mpv, const char* minLevel);
    static int commandAsync(mpv_handle* mpv, uint64_t userData, const char** args);
    static int setPropertyAsync(mpv_handle* mpv, uint64_t userData, const char* name, mpv_format format, void* data);
    static mpv_event* waitEvent(mpv_handle* mpv, double timeout);
    static const char* errorString(int error);
    static int renderContextCreate(mpv_render_context** context, mpv_handle* mpv, mpv_render_param* params);
    static void renderContextFree(mpv_render_context* context);
    static void renderContextSetUpdateCallback(mpv_render_context* context, mpv_render_update_fn callback, void* data);
    static uint64_t renderContextUpdate(mpv_render_context* context);
    static int renderContextRender(mpv_render_context* context, mpv_render_param* params);
};
