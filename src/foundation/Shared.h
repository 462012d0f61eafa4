#pragma once

#include <cassert>

// The process-wide instance of T: created on first use (with T's default constructor, which
// wires the real platform) and kept until exit, or the instance a test installed with Override.
// Used from the GUI thread only.
template <typename T>
class Shared {
public:
    static T& instance()
    {
        if (T* installed = current())
            return *installed;
        // Held for the life of the process, like every shared service.
        static T* const created = new T();
        return *created;
    }

    // Installs an instance for the lifetime of the guard; the previous one comes back after.
    class Override {
    public:
        explicit Override(T& instance) : previous_(current()) { current() = &instance; }
        ~Override() { current() = previous_; }
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        T* previous_;
    };

private:
    static T*& current()
    {
        static T* installed = nullptr;
        return installed;
    }
};
