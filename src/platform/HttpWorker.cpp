#include "platform/HttpWorker.h"

#include "platform/HttpFileTransfer.h"

#include <QtGlobal>

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <mutex>
#include <vector>

namespace {
// The longest the loop sleeps when no transfer has a deadline; anything new wakes it anyway.
constexpr int kIdlePollMs = 60'000;

using Running = std::vector<std::unique_ptr<HttpFileTransfer>>;

// The workers with a running thread, for the exit handler.
std::mutex registryMutex;
std::vector<HttpWorker*> registry;

Running::iterator find(Running& running, CURL* handle)
{
    return std::find_if(running.begin(), running.end(), [handle](const auto& transfer) { return transfer->handle() == handle; });
}

int pollTimeout(const Running& running, HttpFileTransfer::Clock::time_point now)
{
    int timeout = kIdlePollMs;
    for (const auto& transfer : running) {
        if (const auto deadline = transfer->deadline()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
            timeout = std::clamp(int(left), 0, timeout);
        }
    }
    return timeout;
}
} // namespace

void HttpWorker::preferPlainEventLoops()
{
    if (qEnvironmentVariableIsEmpty("QT_NO_THREADED_GLIB"))
        qputenv("QT_NO_THREADED_GLIB", "1");
}

HttpWorker::~HttpWorker()
{
    {
        std::lock_guard lock(registryMutex);
        std::erase(registry, this);
    }
    stop();
    if (multi_)
        curl_multi_cleanup(multi_);
}

void HttpWorker::start(std::unique_ptr<HttpFileTransfer> transfer)
{
    std::lock_guard lock(mutex_);
    if (quitting_) {
        transfer->abandon(HttpError::Kind::Cancelled);
        return;
    }
    if (!multi_) {
        static std::once_flag initialised;
        std::call_once(initialised, [] {
            curl_global_init(CURL_GLOBAL_DEFAULT);
            // Registered after OpenSSL's own exit handler, so it runs first.
            std::atexit(&HttpWorker::stopEveryWorker);
        });
        multi_ = curl_multi_init();
        thread_ = std::thread([this] { run(); });
        std::lock_guard registered(registryMutex);
        registry.push_back(this);
    }
    queued_.push_back(std::move(transfer));
    curl_multi_wakeup(multi_);
}

void HttpWorker::cancelAll()
{
    std::lock_guard lock(mutex_);
    quitting_ = true;
    if (multi_)
        curl_multi_wakeup(multi_);
}

void HttpWorker::stop()
{
    cancelAll();
    if (thread_.joinable())
        thread_.join();
}

void HttpWorker::stopEveryWorker()
{
    std::lock_guard lock(registryMutex);
    for (HttpWorker* worker : registry)
        worker->stop();
    registry.clear();
}

void HttpWorker::run()
{
    Running running;
    for (;;) {
        std::deque<std::unique_ptr<HttpFileTransfer>> arrived;
        {
            std::lock_guard lock(mutex_);
            if (quitting_)
                break;
            arrived.swap(queued_);
        }
        if (!arrived.empty())
            idle_.sweep();
        for (auto& transfer : arrived) {
            if (transfer->begin(multi_, *trust_)) {
                idle_.watch(transfer->handle());
                curl_multi_add_handle(multi_, transfer->handle());
                running.push_back(std::move(transfer));
            }
        }

        int active = 0;
        curl_multi_perform(multi_, &active);
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            // The message is gone once its handle leaves the multi handle.
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            idle_.ended(handle);
            curl_multi_remove_handle(multi_, handle);
            const auto transfer = find(running, handle);
            if ((*transfer)->ended(result)) {
                idle_.sweep();
                curl_multi_add_handle(multi_, handle); // on to where it was redirected
            } else {
                running.erase(transfer);
            }
        }

        const auto now = HttpFileTransfer::Clock::now();
        std::erase_if(running, [&](const auto& transfer) {
            const auto reason = transfer->interruption(now);
            if (reason) {
                curl_multi_remove_handle(multi_, transfer->handle());
                transfer->abandon(*reason);
            }
            return bool(reason);
        });
        curl_multi_poll(multi_, nullptr, 0, pollTimeout(running, now), nullptr);
    }

    for (auto& transfer : running) {
        curl_multi_remove_handle(multi_, transfer->handle());
        transfer->abandon(HttpError::Kind::Cancelled);
    }
    std::lock_guard lock(mutex_);
    for (auto& transfer : queued_)
        transfer->abandon(HttpError::Kind::Cancelled);
    queued_.clear();
}
