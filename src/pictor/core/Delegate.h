#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace pictor {

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <typename Signature>
class Delegate;

// A thread-safe holder of one pluggable callback, bound to a weakly held target so that an object
// can own a delegate whose block refers back to it without keeping itself alive. Calls answer
// nothing when no block is bound or the target is gone; an optional output is answered flat.
// Blocks are read under the lock and called outside it, so a block may call other delegates.
// A delegate without output (void) answers whether a block ran.
template <typename Output, typename... Input>
class Delegate<Output(Input...)> {
public:
    using Answer = std::conditional_t<std::is_void_v<Output>, bool,
                                      std::conditional_t<IsOptional<Output>::value, Output, std::optional<Output>>>;
    using Block = std::function<Answer(Input...)>;
    using AsyncBlock = std::function<QCoro::Task<Answer>(Input...)>;

    Block block() const
    {
        std::lock_guard lock(mutex_);
        return block_;
    }
    void setBlock(Block block)
    {
        std::lock_guard lock(mutex_);
        block_ = std::move(block);
    }
    AsyncBlock asyncBlock() const
    {
        std::lock_guard lock(mutex_);
        return asyncBlock_;
    }
    void setAsyncBlock(AsyncBlock block)
    {
        std::lock_guard lock(mutex_);
        asyncBlock_ = std::move(block);
    }

    // Binds a block to a target held weakly; an empty block answers nothing for every input.
    template <typename Target>
    void delegate(const std::shared_ptr<Target>& target, std::function<Output(Target&, Input...)> block)
    {
        setBlock(bound(std::weak_ptr<Target>(target), std::move(block)));
    }
    template <typename Target>
        requires std::is_base_of_v<QObject, Target>
    void delegate(Target* target, std::function<Output(Target&, Input...)> block)
    {
        setBlock(bound(QPointer<Target>(target), std::move(block)));
    }
    template <typename Target>
    void delegateAsync(const std::shared_ptr<Target>& target, std::function<QCoro::Task<Output>(Target&, Input...)> block)
    {
        std::weak_ptr<Target> weak = target;
        setAsyncBlock([weak, block = std::move(block)](Input... input) -> QCoro::Task<Answer> {
            const std::shared_ptr<Target> strong = weak.lock();
            if (!strong || !block)
                co_return Answer();
            if constexpr (std::is_void_v<Output>) {
                co_await block(*strong, input...);
                co_return true;
            } else {
                co_return Answer(co_await block(*strong, input...));
            }
        });
    }

    Answer call(Input... input) const
    {
        const Block current = block();
        return current ? current(input...) : Answer();
    }
    Answer operator()(Input... input) const { return call(input...); }

    // Never falls back to the synchronous block.
    QCoro::Task<Answer> callAsync(Input... input) const
    {
        const AsyncBlock current = asyncBlock();
        if (!current)
            co_return Answer();
        co_return co_await current(input...);
    }

    bool isSet() const
    {
        std::lock_guard lock(mutex_);
        return bool(block_) || bool(asyncBlock_);
    }

private:
    template <typename Handle, typename Target>
    static Block bound(Handle handle, std::function<Output(Target&, Input...)> block)
    {
        return [handle, block = std::move(block)](Input... input) -> Answer {
            auto strong = lockHandle(handle);
            if (!strong || !block)
                return Answer();
            if constexpr (std::is_void_v<Output>) {
                block(*strong, input...);
                return true;
            } else {
                return Answer(block(*strong, input...));
            }
        };
    }
    template <typename Target>
    static std::shared_ptr<Target> lockHandle(const std::weak_ptr<Target>& weak) { return weak.lock(); }
    template <typename Target>
    static Target* lockHandle(const QPointer<Target>& pointer) { return pointer.data(); }

    mutable std::mutex mutex_;
    Block block_;
    AsyncBlock asyncBlock_;
};

} // namespace pictor
