#include "platform/ProcSystemLoad.h"

#include <QByteArrayList>
#include <QFile>

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    // Files under /proc report no size, so read them to the end.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

ProcSystemLoad::ProcSystemLoad(QString procRoot) : procRoot_(std::move(procRoot)) {}

std::optional<CpuTicks> ProcSystemLoad::cpuTicks() const { return parseCpuLine(readAll(procRoot_ + QStringLiteral("/stat"))); }

std::optional<quint64> ProcSystemLoad::memoryFootprintBytes() const
{
    return parseKilobytes(readAll(procRoot_ + QStringLiteral("/self/status")), "VmRSS");
}

std::optional<quint64> ProcSystemLoad::physicalMemoryBytes() const
{
    return parseKilobytes(readAll(procRoot_ + QStringLiteral("/meminfo")), "MemTotal");
}

std::optional<CpuTicks> ProcSystemLoad::parseCpuLine(const QByteArray& stat)
{
    const QByteArray line = stat.left(stat.indexOf('\n'));
    const QByteArrayList fields = line.simplified().split(' ');
    // Kernels before 2.6.11 give four counters; later ones add iowait, irq, softirq and steal.
    if (fields.size() < 5 || fields[0] != "cpu")
        return std::nullopt;
    quint64 counters[8] = {};
    for (qsizetype index = 1; index < fields.size() && index <= 8; ++index) {
        bool isNumber = false;
        counters[index - 1] = fields[index].toULongLong(&isNumber);
        if (!isNumber)
            return std::nullopt;
    }
    const auto [user, nice, system, idle, iowait, irq, softirq, steal] = counters;
    return CpuTicks{user, system + irq + softirq + steal, idle + iowait, nice};
}

std::optional<quint64> ProcSystemLoad::parseKilobytes(const QByteArray& text, const QByteArray& name)
{
    const QByteArrayList lines = text.split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon) != name)
            continue;
        const QByteArrayList parts = line.mid(colon + 1).simplified().split(' ');
        bool isNumber = false;
        const quint64 kilobytes = parts.value(0).toULongLong(&isNumber);
        if (!isNumber || parts.value(1) != "kB")
            return std::nullopt;
        return kilobytes * 1024;
    }
    return std::nullopt;
}
