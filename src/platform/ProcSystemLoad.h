#pragma once

#include "platform/SystemLoad.h"

#include <QString>

// CPU and memory figures from /proc: the "cpu" line of stat, this process's VmRSS in
// self/status and MemTotal in meminfo. The root is configurable so a test can give it files of
// its own. Reads only; safe from any thread.
class ProcSystemLoad : public SystemLoad {
public:
    explicit ProcSystemLoad(QString procRoot = QStringLiteral("/proc"));

    std::optional<CpuTicks> cpuTicks() const override;
    std::optional<quint64> memoryFootprintBytes() const override;
    std::optional<quint64> physicalMemoryBytes() const override;

    // The first line of a stat file: "cpu user nice system idle iowait irq softirq steal ...".
    static std::optional<CpuTicks> parseCpuLine(const QByteArray& stat);
    // A "<name>: <number> kB" line of a status or meminfo file, in bytes.
    static std::optional<quint64> parseKilobytes(const QByteArray& text, const QByteArray& name);

private:
    QString procRoot_;
};
