#pragma once

#include "platform/HttpIdleConnections.h"
#include "platform/HttpTrustStore.h"

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class HttpFileTransfer;
typedef void CURLM; // as libcurl declares it

// The thread Http streams files on: one libcurl multi handle that keeps each transfer's socket,
// TLS session and file on this thread and moves the body in large blocks, so a large file costs
// no hand-off between threads per piece and no wake-up of the GUI thread. Transfers run side by
// side and share kept-alive connections. Started with the first transfer; ended when this
// object goes, or as the process exits (before OpenSSL's own clean-up, which a handshake still
// running would race), with any transfer still running told it was cancelled.
class HttpWorker {
public:
    // Threads started from now on wait for events with poll() rather than GLib: Qt's network
    // thread (catalogue calls) posts one event per 4 KiB of a TLS body, and GLib wakes a thread
    // once per posted event where poll() wakes it once per batch. The GUI thread keeps GLib.
    // Call first at the program's start, before any thread starts (it sets the environment).
    static void preferPlainEventLoops();

    // `trust` is shared with Http's own connections.
    explicit HttpWorker(std::shared_ptr<HttpTrustStore> trust) : trust_(std::move(trust)) {}
    ~HttpWorker();
    HttpWorker(const HttpWorker&) = delete;
    HttpWorker& operator=(const HttpWorker&) = delete;

    // Runs `transfer` on the worker thread, started after the transfers given before it; once
    // cancelAll() was called, it is told at once that it was cancelled.
    void start(std::unique_ptr<HttpFileTransfer> transfer);
    // Tells every transfer it was cancelled and ends the thread, without waiting for it: the
    // files of unfinished downloads are let go there while the caller goes on.
    void cancelAll();

private:
    void run();
    // Ends the thread and waits for it; nothing when it is not running.
    void stop();
    static void stopEveryWorker();

    std::mutex mutex_;
    std::deque<std::unique_ptr<HttpFileTransfer>> queued_;
    bool quitting_ = false;
    CURLM* multi_ = nullptr;
    // The trust every transfer's TLS shares; worker thread only: the connections kept between
    // transfers.
    std::shared_ptr<HttpTrustStore> trust_;
    HttpIdleConnections idle_;
    std::thread thread_;
};
