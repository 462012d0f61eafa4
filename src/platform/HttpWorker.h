#pragma once

#include <QThread>

#include <functional>

class QNetworkAccessManager;

// The thread Http streams files on, with a network access manager of its own: a transfer's
// bytes arrive, are written or read, and are counted there, so a large file costs the GUI
// thread no wake-up per piece. Started with the first job; ended, its manager with it, when
// this object goes.
class HttpWorker {
public:
    using Job = std::function<void(QNetworkAccessManager&)>;

    // Threads started from now on wait for events with poll() rather than GLib, as does the
    // worker: Qt's network thread posts it one event per 4 KiB of a TLS body, and GLib wakes a
    // thread once per posted event where poll() wakes it once per batch. The GUI thread keeps
    // GLib. Call first at the program's start, before any thread starts (it sets the environment).
    static void preferPlainEventLoops();

    HttpWorker() = default;
    ~HttpWorker();
    HttpWorker(const HttpWorker&) = delete;
    HttpWorker& operator=(const HttpWorker&) = delete;

    // Runs `job` on the worker thread, after the jobs posted before it.
    void post(Job job);
    // Posted too: connections opened under a trust that has changed are not used again.
    void clearConnectionCache();

private:
    QThread thread_;
    // Lives on thread_ and parents the manager, made there with the first job.
    QObject* context_ = nullptr;
};
