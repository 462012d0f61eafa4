#pragma once

#include "foundation/SerialQueue.h"
#include "platform/CpuTicks.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Clock;
class SystemLoad;

// The figures of the tray menu's readouts: the whole machine's CPU load, this process's memory
// and the machine's, and the size of the video caches. Runs no timer: a pass runs when the menu
// asks (each time it opens), on one worker thread of its own so passes never overlap, and
// publishes each figure on the GUI thread. The CPU load is measured between two passes; the
// cache, which walks folders, at most every 30 s unless forced. Small changes are not published.
// Published values live on the GUI thread; one shared instance kept until exit.
class SystemMonitorService : public QObject {
    Q_OBJECT
    Q_PROPERTY(double cpuUsage READ cpuUsage NOTIFY cpuUsageChanged)
    Q_PROPERTY(double ramUsedMB READ ramUsedMB NOTIFY ramUsedMBChanged)
    Q_PROPERTY(double ramTotalMB READ ramTotalMB NOTIFY ramTotalMBChanged)
    Q_PROPERTY(double cacheSizeMB READ cacheSizeMB NOTIFY cacheSizeMBChanged)

public:
    // The megabytes of the video caches; called on the worker thread.
    using CacheSizeReader = std::function<double()>;

    static constexpr qint64 kCacheRefreshSeconds = 30;
    static constexpr double kCpuThreshold = 0.1;
    static constexpr double kRamUsedThresholdMB = 1.0;
    static constexpr double kRamTotalThresholdMB = 10.0;

    // The shared system figures, the shared cache service and the system clock.
    explicit SystemMonitorService(QObject* parent = nullptr);
    SystemMonitorService(SystemLoad& load, CacheSizeReader cacheSize, const Clock& clock, QObject* parent = nullptr);
    // Waits for a pass under way.
    ~SystemMonitorService() override;

    static SystemMonitorService& shared();

    double cpuUsage() const { return cpuUsage_; }
    double ramUsedMB() const { return ramUsedMB_; }
    double ramTotalMB() const { return ramTotalMB_; }
    double cacheSizeMB() const { return cacheSizeMB_; }
    // "%.1f MB".
    QString formattedCacheSize() const;

    // Starts one measuring pass; returns at once.
    void refreshInBackground(bool forceCacheUpdate);

Q_SIGNALS:
    void cpuUsageChanged();
    void ramUsedMBChanged();
    void ramTotalMBChanged();
    void cacheSizeMBChanged();
    // Every figure of a pass has been published.
    void passFinished();

private:
    // Worker thread.
    void sample(bool forceCacheUpdate);
    void updateCPUUsage();
    void updateMemoryUsage();
    void updateCacheSize();
    void publish(std::function<void()> assignment);

    void setCpuUsage(double usage);
    void setMemory(double used, double total);
    void setCacheSize(double size);

    SystemLoad& load_;
    CacheSizeReader cacheSize_;
    const Clock& clock_;

    double cpuUsage_ = 0;
    double ramUsedMB_ = 0;
    double ramTotalMB_ = 0;
    double cacheSizeMB_ = 0;

    // Touched only by passes, which the queue runs one after another.
    std::optional<CpuTicks> previousCPUInfo_;
    std::optional<QDateTime> lastCacheUpdate_;
    SerialQueue queue_{QStringLiteral("SystemMonitorService")};
};
