#include "signalry/FileNotices.h"

namespace signalry {

FileNotices& FileNotices::shared()
{
    // Never destroyed: a file may be found unreadable while the process ends.
    static auto* instance = new FileNotices;
    return *instance;
}

QList<FileNotices::Kept> FileNotices::told() const
{
    std::lock_guard lock(mutex_);
    return told_;
}

void FileNotices::tell(const QString& file, const QString& keptAt, bool movedAside, const QString& reason)
{
    {
        // A file read again and again while its device fails is told of once, not at each read.
        std::lock_guard lock(mutex_);
        const QString outcome = file + (movedAside ? QStringLiteral("\n aside") : QStringLiteral("\n kept"));
        if (outcomes_.contains(outcome))
            return;
        outcomes_.insert(outcome);
        told_.append({file, keptAt, movedAside, reason});
    }
    emit fileKept(file, keptAt, movedAside, reason);
}

} // namespace signalry
