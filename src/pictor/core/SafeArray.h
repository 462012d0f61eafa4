#pragma once

#include <QList>

#include <mutex>
#include <optional>

namespace pictor {

// A list shared between threads: every read and write holds its lock, and reads hand out copies.
template <typename Element>
class SafeArray {
public:
    std::optional<Element> value(qsizetype index) const
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= array_.size())
            return std::nullopt;
        return array_[index];
    }
    // Only while the index is in range.
    void replace(qsizetype index, Element element)
    {
        std::lock_guard lock(mutex_);
        if (index >= 0 && index < array_.size())
            array_[index] = std::move(element);
    }
    void append(Element element)
    {
        std::lock_guard lock(mutex_);
        array_.append(std::move(element));
    }
    void reserve(qsizetype capacity)
    {
        std::lock_guard lock(mutex_);
        array_.reserve(capacity);
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        array_.clear();
    }
    qsizetype size() const
    {
        std::lock_guard lock(mutex_);
        return array_.size();
    }

private:
    mutable std::mutex mutex_;
    QList<Element> array_;
};

} // namespace pictor
