#pragma once

#include "platform/SystemLoad.h"

#include <mutex>

// CPU counters and memory figures a test sets; read from the monitor's worker thread, hence
// the lock. Install with Shared<SystemLoad>::Override or hand it to the service.
class FakeSystemLoad : public SystemLoad {
public:
    std::optional<CpuTicks> cpuTicks() const override;
    std::optional<quint64> memoryFootprintBytes() const override;
    std::optional<quint64> physicalMemoryBytes() const override;

    void setCpuTicks(std::optional<CpuTicks> ticks);
    void setMemory(std::optional<quint64> footprintBytes, std::optional<quint64> physicalBytes);

private:
    mutable std::mutex mutex_;
    std::optional<CpuTicks> ticks_;
    std::optional<quint64> footprint_;
    std::optional<quint64> physical_;
};
