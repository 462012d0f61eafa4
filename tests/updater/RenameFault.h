#pragma once

#include <QString>

#include <functional>

// While alive, the C library's rename() fails with EIO for the moves `fails` picks; every other
// rename of the process goes through. Lets a test break one step of a sequence of renames, as a
// full or failing disk would. Any thread may rename meanwhile.
class RenameFault {
public:
    using Picker = std::function<bool(const QString& from, const QString& to)>;

    explicit RenameFault(Picker fails);
    ~RenameFault();
    RenameFault(const RenameFault&) = delete;
    RenameFault& operator=(const RenameFault&) = delete;

    // How many renames were made to fail.
    int failures() const;
};
