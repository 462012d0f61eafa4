#pragma once

#include "platform/CpuTicks.h"

#include <optional>

// The machine's CPU counters and memory, and this process's memory. The Linux implementation is
// ProcSystemLoad; tests install FakeSystemLoad with Shared<SystemLoad>::Override. Every read is
// safe from any thread; nothing when the system does not tell.
class SystemLoad {
public:
    virtual ~SystemLoad() = default;

    static SystemLoad& shared();

    virtual std::optional<CpuTicks> cpuTicks() const = 0;
    // This process's resident memory.
    virtual std::optional<quint64> memoryFootprintBytes() const = 0;
    virtual std::optional<quint64> physicalMemoryBytes() const = 0;
};
