#pragma once

#include "signalry/LogHandler.h"

#include <QStringList>
#include <QVariantHash>
#include <QThreadPool>

#include <mutex>
#include <optional>

namespace signalry {

// The analytics client's own user-defaults domain: typed values in one small JSON file
// (<configuration folder>/<suite name>.json). Reads come from memory, already typed, since some
// are read for every signal; every real change (a value set to what it already is is none) is
// written to the file on a serial background writer, atomically, changes that come while a write
// waits joining it. Any thread may use it. Data values are written as Base64 text. A file that
// is damaged, larger than kMaximumFileBytes or whose mode refuses reading is moved aside
// (".damaged") at the start, never written over. One that fails to read for a passing reason
// (too many open files, an I/O error, a directory in its place) stays where it is and is read
// again before each write, which waits until it reads; what it holds then wins over what was set
// meanwhile. Either is told to FileNotices.
class DefaultsSuite {
public:
    // How soon a change reaches the file. A value that changes all the time (a running duration)
    // is written lazily: with the next prompt change, once the file is older than
    // kLazyWriteSeconds, or when the suite is flushed or destroyed; a crash loses at most that.
    enum class Write { Promptly, Lazily };
    static constexpr double kLazyWriteSeconds = 300;
    // The file holds a few kilobytes; a larger one is no suite of ours and is moved aside unread.
    static constexpr qint64 kMaximumFileBytes = 16 << 20;

    DefaultsSuite(QString filePath, std::optional<LogHandler> logHandler);
    ~DefaultsSuite();
    DefaultsSuite(const DefaultsSuite&) = delete;
    DefaultsSuite& operator=(const DefaultsSuite&) = delete;

    // "com.signalry." followed by the last 12 characters of the unsalted digest of `appID`.
    static QString suiteName(const QString& appID);
    static QString defaultFilePath(const QString& suiteName);

    std::optional<QString> string(const QString& key) const;
    void setString(const QString& key, const QString& value);
    std::optional<qint64> integer(const QString& key) const;
    void setInteger(const QString& key, qint64 value);
    std::optional<QStringList> stringList(const QString& key) const;
    void setStringList(const QString& key, const QStringList& value);
    std::optional<QByteArray> data(const QString& key) const;
    void setData(const QString& key, const QByteArray& value, Write write = Write::Promptly);
    void remove(const QString& key);

    // Changes with every change of this suite; never the same for two suites.
    quint64 revision() const;
    // Blocks until every change so far, lazy ones included, is on disk.
    void waitForPendingWrites();

private:
    // Reads the file into the values; false when it failed for a passing reason.
    bool load();
    void set(const QString& key, const QVariant& value, Write write = Write::Promptly);
    QVariant value(const QString& key) const;
    // Called with the mutex held.
    void changed(Write write);
    void scheduleWrite();

    const QString filePath_;
    const std::optional<LogHandler> logHandler_;
    mutable std::mutex mutex_;
    QVariantHash values_;
    quint64 revision_ = 0;
    // A write is queued and has not taken its copy of the values yet.
    bool writeQueued_ = false;
    // Lazy changes that no queued or finished write holds.
    bool unwritten_ = false;
    // The file was read, or there was none to read; touched by the constructor and the writer.
    bool fileRead_ = false;
    // Monotonic seconds when the last write was queued.
    double writtenAt_ = 0;
    QThreadPool writer_;
};

} // namespace signalry
