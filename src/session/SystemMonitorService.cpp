#include "session/SystemMonitorService.h"

#include "engine/CacheService.h"
#include "foundation/Clock.h"
#include "foundation/Shared.h"
#include "platform/SystemLoad.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kBytesPerMB = 1024.0 * 1024.0;

// new − old as a signed count; negative when a counter went backwards (a wrap, a reset).
qint64 delta(quint64 now, quint64 before) { return qint64(now) - qint64(before); }
} // namespace

SystemMonitorService::SystemMonitorService(QObject* parent)
    : SystemMonitorService(SystemLoad::shared(), [&cache = CacheService::shared()] { return cache.cacheSizeMB(); },
          Clock::system(), parent)
{
}

SystemMonitorService::SystemMonitorService(SystemLoad& load, CacheSizeReader cacheSize, const Clock& clock, QObject* parent)
    : QObject(parent), load_(load), cacheSize_(std::move(cacheSize)), clock_(clock)
{
}

SystemMonitorService::~SystemMonitorService() { queue_.drain(); }

SystemMonitorService& SystemMonitorService::shared() { return Shared<SystemMonitorService>::instance(); }

QString SystemMonitorService::formattedCacheSize() const { return QString::asprintf("%.1f MB", cacheSizeMB_); }

void SystemMonitorService::refreshInBackground(bool forceCacheUpdate)
{
    // The queue belongs to this service and is drained before it goes, so the pass may use it.
    queue_.run([this, forceCacheUpdate] { sample(forceCacheUpdate); });
}

void SystemMonitorService::sample(bool forceCacheUpdate)
{
    updateCPUUsage();
    updateMemoryUsage();
    const QDateTime now = clock_.now();
    if (forceCacheUpdate || !lastCacheUpdate_ || lastCacheUpdate_->secsTo(now) >= kCacheRefreshSeconds) {
        updateCacheSize();
        lastCacheUpdate_ = now;
    }
    publish([this] { Q_EMIT passFinished(); });
}

void SystemMonitorService::updateCPUUsage()
{
    const std::optional<CpuTicks> ticks = load_.cpuTicks();
    if (!ticks)
        return;
    const std::optional<CpuTicks> previous = std::exchange(previousCPUInfo_, ticks);
    if (!previous)
        return;
    const qint64 user = delta(ticks->user, previous->user);
    const qint64 system = delta(ticks->system, previous->system);
    const qint64 idle = delta(ticks->idle, previous->idle);
    const qint64 nice = delta(ticks->nice, previous->nice);
    const qint64 total = user + system + idle + nice;
    if (user < 0 || system < 0 || idle < 0 || nice < 0 || total == 0)
        return;
    // The counters already sum every core, so busy over total is the whole machine's share.
    const double usage = std::clamp(double(user + system + nice) / double(total) * 100.0, 0.0, 100.0);
    publish([this, usage] { setCpuUsage(usage); });
}

void SystemMonitorService::updateMemoryUsage()
{
    const std::optional<quint64> footprint = load_.memoryFootprintBytes();
    if (!footprint)
        return;
    const double used = double(*footprint) / kBytesPerMB;
    const double total = double(load_.physicalMemoryBytes().value_or(0)) / kBytesPerMB;
    publish([this, used, total] { setMemory(used, total); });
}

void SystemMonitorService::updateCacheSize()
{
    const double size = cacheSize_();
    publish([this, size] { setCacheSize(size); });
}

void SystemMonitorService::publish(std::function<void()> assignment)
{
    // Dropped when the service is gone by the time the GUI thread gets to it.
    QMetaObject::invokeMethod(this, std::move(assignment), Qt::QueuedConnection);
}

void SystemMonitorService::setCpuUsage(double usage)
{
    if (std::abs(cpuUsage_ - usage) <= kCpuThreshold)
        return;
    cpuUsage_ = usage;
    Q_EMIT cpuUsageChanged();
}

void SystemMonitorService::setMemory(double used, double total)
{
    if (std::abs(ramUsedMB_ - used) <= kRamUsedThresholdMB && std::abs(ramTotalMB_ - total) <= kRamTotalThresholdMB)
        return;
    const bool usedChanged = used != ramUsedMB_;
    const bool totalChanged = total != ramTotalMB_;
    ramUsedMB_ = used;
    ramTotalMB_ = total;
    if (usedChanged)
        Q_EMIT ramUsedMBChanged();
    if (totalChanged)
        Q_EMIT ramTotalMBChanged();
}

void SystemMonitorService::setCacheSize(double size)
{
    if (size == cacheSizeMB_)
        return;
    cacheSizeMB_ = size;
    Q_EMIT cacheSizeMBChanged();
}
