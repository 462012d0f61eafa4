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
// are read for every signal; every change is written to the file on a serial background writer,
// latest state wins, atomically. Any thread may use it. Data values are written as Base64 text.
class DefaultsSuite {
public:
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
    void setData(const QString& key, const QByteArray& value);
    void remove(const QString& key);

    // Changes with every change of this suite; never the same for two suites.
    quint64 revision() const;
    // Blocks until every change so far is on disk.
    void waitForPendingWrites();

private:
    void load();
    void set(const QString& key, const QVariant& value);
    QVariant value(const QString& key) const;
    void scheduleWrite(QVariantHash values, quint64 revision);

    const QString filePath_;
    const std::optional<LogHandler> logHandler_;
    mutable std::mutex mutex_;
    QVariantHash values_;
    quint64 revision_ = 0;
    QThreadPool writer_;
};

} // namespace signalry
