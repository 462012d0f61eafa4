#include "library/ImportProgress.h"

#include <algorithm>

std::shared_ptr<ImportProgress> ImportProgress::make()
{
    return std::shared_ptr<ImportProgress>(new ImportProgress, [](ImportProgress* progress) { progress->deleteLater(); });
}

bool ImportProgress::report(qint64 copied, qint64 total)
{
    const int permille = total > 0 ? int(std::clamp(copied * 1000 / total, qint64(0), qint64(1000))) : 1000;
    permille_ = permille;
    // A signal per block of a large file would flood the GUI thread's queue.
    if (const int percent = permille / 10; reportedPercent_.exchange(percent) != percent)
        QMetaObject::invokeMethod(this, [this] { Q_EMIT fractionChanged(fraction()); }, Qt::QueuedConnection);
    return !cancelled_;
}
