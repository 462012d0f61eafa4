#include "engine/CacheFolder.h"

#include <QDir>
#include <QFile>

namespace CacheFolder {

QFileInfoList entries(const QString& folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

qint64 fileBytes(const QString& folder, const EntryFilter& accept)
{
    qint64 total = 0;
    for (const QFileInfo& entry : entries(folder)) {
        if (entry.isFile() && (!accept || accept(entry)))
            total += entry.size();
    }
    return total;
}

bool removeEntry(const QFileInfo& entry, QString* reason)
{
    // A link is removed itself, never followed into what it points at.
    if (entry.isDir() && !entry.isSymLink()) {
        if (QDir(entry.absoluteFilePath()).removeRecursively())
            return true;
        if (reason)
            *reason = QStringLiteral("The folder “%1” could not be removed completely.").arg(entry.fileName());
        return false;
    }
    QFile file(entry.absoluteFilePath());
    if (file.remove())
        return true;
    if (reason)
        *reason = file.errorString();
    return false;
}

int removeEntries(const QString& folder)
{
    int stayed = 0;
    for (const QFileInfo& entry : entries(folder))
        stayed += removeEntry(entry) ? 0 : 1;
    return stayed;
}

bool hasExtension(const QFileInfo& entry, QStringView extension)
{
    return entry.suffix().compare(extension, Qt::CaseInsensitive) == 0;
}

} // namespace CacheFolder
