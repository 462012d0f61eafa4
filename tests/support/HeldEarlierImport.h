#pragma once

#include "foundation/UserDefaults.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QString>

// An earlier version's list value as its settings file holds it: the list's bytes as one data entry.
inline QJsonObject earlierDataEntry(const QByteArray& bytes)
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("value"), QString::fromLatin1(bytes.toBase64())}};
}

// Writes `entries` as the whole earlier settings file of the standard domain, in a settings folder
// of its own; false when it could not.
inline bool placeEarlierSettings(const QJsonObject& entries)
{
    const QString legacy = UserDefaults::legacyPathOf(UserDefaults::kStandardDomain);
    QDir(QFileInfo(legacy).absolutePath()).removeRecursively();
    QDir().mkpath(QFileInfo(legacy).absolutePath());
    QFile file(legacy);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(entries).toJson()) > 0;
}

// While it lives, the next store opened imports `lists` of an earlier settings file straight into
// rows and commits that import on a worker, which waits there until release().
class HeldEarlierImport {
public:
    explicit HeldEarlierImport(QHash<QString, QString> lists)
    {
        UserDefaults::setEarlierLists(std::move(lists));
        UserDefaults::setImportInBackground(true);
        UserDefaults::setImportHold([this] { release_.acquire(); });
    }
    ~HeldEarlierImport()
    {
        release_.release(10);
        UserDefaults::setImportHold({});
        UserDefaults::setImportInBackground(false);
        UserDefaults::setEarlierLists({});
    }
    HeldEarlierImport(const HeldEarlierImport&) = delete;
    HeldEarlierImport& operator=(const HeldEarlierImport&) = delete;

    void release() { release_.release(); }

private:
    QSemaphore release_;
};
