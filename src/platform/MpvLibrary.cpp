#include "platform/MpvLibrary.h"

#include "foundation/Log.h"

#include <QFile>

#include <dlfcn.h>

#include <optional>

namespace {

struct Functions {
    decltype(&mpv_create) create = nullptr;
    decltype(&mpv_initialize) initialize = nullptr;
    decltype(&mpv_terminate_destroy) terminateDestroy = nullptr;
    decltype(&mpv_set_wakeup_callback) setWakeupCallback = nullptr;
    decltype(&mpv_set_option_string) setOptionString = nullptr;
    decltype(&mpv_request_log_messages) requestLogMessages = nullptr;
    decltype(&mpv_command_async) commandAsync = nullptr;
    decltype(&mpv_set_property_async) setPropertyAsync = nullptr;
    decltype(&mpv_wait_event) waitEvent = nullptr;
    decltype(&mpv_error_string) errorString = nullptr;
    decltype(&mpv_render_context_create) renderContextCreate = nullptr;
    decltype(&mpv_render_context_free) renderContextFree = nullptr;
    decltype(&mpv_render_context_set_update_callback) renderContextSetUpdateCallback = nullptr;
    decltype(&mpv_render_context_update) renderContextUpdate = nullptr;
    decltype(&mpv_render_context_render) renderContextRender = nullptr;
};

template <typename Function>
bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Every function, or none when the library or one of them is missing. Kept open for the process.
std::optional<Functions> open()
{
    QString missing;
    void* library = MpvLibrary::openFirst(MpvLibrary::libraryNames(), &missing);
    if (!library) {
        logLine(QStringLiteral("❌"), QStringLiteral("VideoPlayer"), QStringLiteral("No video library: ") + missing);
        return std::nullopt;
    }
    Functions f;
    const bool whole = resolve(library, "mpv_create", f.create) && resolve(library, "mpv_initialize", f.initialize)
        && resolve(library, "mpv_terminate_destroy", f.terminateDestroy)
        && resolve(library, "mpv_set_wakeup_callback", f.setWakeupCallback)
        && resolve(library, "mpv_set_option_string", f.setOptionString)
        && resolve(library, "mpv_request_log_messages", f.requestLogMessages)
        && resolve(library, "mpv_command_async", f.commandAsync)
        && resolve(library, "mpv_set_property_async", f.setPropertyAsync)
        && resolve(library, "mpv_wait_event", f.waitEvent) && resolve(library, "mpv_error_string", f.errorString)
        && resolve(library, "mpv_render_context_create", f.renderContextCreate)
        && resolve(library, "mpv_render_context_free", f.renderContextFree)
        && resolve(library, "mpv_render_context_set_update_callback", f.renderContextSetUpdateCallback)
        && resolve(library, "mpv_render_context_update", f.renderContextUpdate)
        && resolve(library, "mpv_render_context_render", f.renderContextRender);
    if (!whole) {
        logLine(QStringLiteral("❌"), QStringLiteral("VideoPlayer"), QStringLiteral("The video library lacks a function: ")
            + QString::fromLocal8Bit(dlerror()));
        return std::nullopt;
    }
    return f;
}

// Opened once, by whichever thread asks first.
const std::optional<Functions>& functions()
{
    static const std::optional<Functions> opened = open();
    return opened;
}

// Only reached through a handle or context that create() made, so the library is open.
const Functions& f() { return *functions(); }
} // namespace

QStringList MpvLibrary::libraryNames()
{
    // The library's file carries the major version of the client API it implements: the one
    // the headers of this build describe, then the development link, which comes with them.
    return {QStringLiteral("libmpv.so.%1").arg(MPV_CLIENT_API_VERSION >> 16), QStringLiteral("libmpv.so")};
}

void* MpvLibrary::openFirst(const QStringList& names, QString* missing)
{
    QStringList reasons;
    for (const QString& name : names) {
        if (void* library = dlopen(QFile::encodeName(name).constData(), RTLD_LAZY | RTLD_LOCAL))
            return library;
        reasons.append(QString::fromLocal8Bit(dlerror()));
    }
    if (missing)
        *missing = reasons.join(QStringLiteral("; "));
    return nullptr;
}

mpv_handle* MpvLibrary::create() { return functions() ? functions()->create() : nullptr; }
int MpvLibrary::initialize(mpv_handle* mpv) { return f().initialize(mpv); }
void MpvLibrary::terminateDestroy(mpv_handle* mpv) { f().terminateDestroy(mpv); }
void MpvLibrary::setWakeupCallback(mpv_handle* mpv, void (*callback)(void*), void* data) { f().setWakeupCallback(mpv, callback, data); }
int MpvLibrary::setOptionString(mpv_handle* mpv, const char* name, const char* value) { return f().setOptionString(mpv, name, value); }
int MpvLibrary::requestLogMessages(mpv_handle* mpv, const char* minLevel) { return f().requestLogMessages(mpv, minLevel); }
int MpvLibrary::commandAsync(mpv_handle* mpv, uint64_t userData, const char** args) { return f().commandAsync(mpv, userData, args); }
int MpvLibrary::setPropertyAsync(mpv_handle* mpv, uint64_t userData, const char* name, mpv_format format, void* data)
{
    return f().setPropertyAsync(mpv, userData, name, format, data);
}
mpv_event* MpvLibrary::waitEvent(mpv_handle* mpv, double timeout) { return f().waitEvent(mpv, timeout); }
const char* MpvLibrary::errorString(int error) { return f().errorString(error); }
int MpvLibrary::renderContextCreate(mpv_render_context** context, mpv_handle* mpv, mpv_render_param* params)
{
    return f().renderContextCreate(context, mpv, params);
}
void MpvLibrary::renderContextFree(mpv_render_context* context) { f().renderContextFree(context); }
void MpvLibrary::renderContextSetUpdateCallback(mpv_render_context* context, mpv_render_update_fn callback, void* data)
{
    f().renderContextSetUpdateCallback(context, callback, data);
}
uint64_t MpvLibrary::renderContextUpdate(mpv_render_context* context) { return f().renderContextUpdate(context); }
int MpvLibrary::renderContextRender(mpv_render_context* context, mpv_render_param* params) { return f().renderContextRender(context, params); }
