#pragma once

#include <QObject>

#include <coroutine>
#include <functional>
#include <optional>

namespace pictor {

// Suspends a coroutine until a completion-based operation delivers its one value. The operation is
// started on the awaiting thread; whatever thread delivers, the coroutine resumes on the awaiting
// thread's event loop, never inside the delivering call.
template <typename T>
class CallbackAwaiter {
public:
    using Deliver = std::function<void(T)>;
    using Start = std::function<void(Deliver)>;

    explicit CallbackAwaiter(Start start) : start_(std::move(start)) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        QObject* context = new QObject();
        start_([this, handle, context](T value) {
            result_.emplace(std::move(value));
            QMetaObject::invokeMethod(
                context,
                [handle, context] {
                    context->deleteLater();
                    handle.resume();
                },
                Qt::QueuedConnection);
        });
    }
    T await_resume() { return std::move(*result_); }

private:
    Start start_;
    std::optional<T> result_;
};

} // namespace pictor
