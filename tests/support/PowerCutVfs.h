#pragma once

#include <cstdint>

// An SQLite file system for tests that fails as a power cut does. It hands every call to the
// default one ("unix") and keeps, for each file, the bytes each write or truncation since the
// file's last sync replaced. Once the chosen write is done, it puts every file back as it was at
// its last sync (what a disk that lost its cache holds) and ends the process at once, with no
// destructor, flush or handler run. Files removed are taken as removed. Any thread.
class PowerCutVfs {
public:
    static constexpr const char* kName = "power-cut";
    // The status of a process the cut ended.
    static constexpr int kCutExitCode = 86;

    // Registers the file system under kName (once), not as the default.
    static void install();
    // The cut comes right after the `write`-th write through it, counted from the process's
    // start (0: never).
    static void cutAfterWrite(std::int64_t write);
    // The writes made through it since the process started.
    static std::int64_t writes();
};
