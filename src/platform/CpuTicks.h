#pragma once

#include <QtGlobal>

// The machine's CPU time since boot, summed over every core, in clock ticks.
struct CpuTicks {
    quint64 user = 0;
    quint64 system = 0; // kernel time, interrupts included
    quint64 idle = 0;   // waiting for input and output included
    quint64 nice = 0;

    bool operator==(const CpuTicks&) const = default;
};
