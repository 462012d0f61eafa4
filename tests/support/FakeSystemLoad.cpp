#include "support/FakeSystemLoad.h"

std::optional<CpuTicks> FakeSystemLoad::cpuTicks() const
{
    std::lock_guard lock(mutex_);
    return ticks_;
}

std::optional<quint64> FakeSystemLoad::memoryFootprintBytes() const
{
    std::lock_guard lock(mutex_);
    return footprint_;
}

std::optional<quint64> FakeSystemLoad::physicalMemoryBytes() const
{
    std::lock_guard lock(mutex_);
    return physical_;
}

void FakeSystemLoad::setCpuTicks(std::optional<CpuTicks> ticks)
{
    std::lock_guard lock(mutex_);
    ticks_ = ticks;
}

void FakeSystemLoad::setMemory(std::optional<quint64> footprintBytes, std::optional<quint64> physicalBytes)
{
    std::lock_guard lock(mutex_);
    footprint_ = footprintBytes;
    physical_ = physicalBytes;
}
