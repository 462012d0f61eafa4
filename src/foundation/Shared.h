#pragma once

namespace detail {
// The instance a test installed for T, whatever default implementation T's accessor names.
template <typename T>
struct SharedSlot {
    static T*& installed()
    {
        static T* instance = nullptr;
        return instance;
    }
};
} // namespace detail

// The process-wide instance of T: created on first use (as a default-constructed Default, which
// wires the real platform) and kept until exit, or the instance a test installed with
// Shared<T>::Override. An abstract platform interface names its Linux implementation as Default.
// Used from the GUI thread only.
template <typename T, typename Default = T>
class Shared {
public:
    static T& instance()
    {
        if (T* installed = detail::SharedSlot<T>::installed())
            return *installed;
        // Held for the life of the process, like every shared service.
        static T* const created = new Default();
        return *created;
    }

    // Installs an instance for the lifetime of the guard; the previous one comes back after.
    class Override {
    public:
        explicit Override(T& instance) : previous_(detail::SharedSlot<T>::installed())
        {
            detail::SharedSlot<T>::installed() = &instance;
        }
        ~Override() { detail::SharedSlot<T>::installed() = previous_; }
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        T* previous_;
    };
};
