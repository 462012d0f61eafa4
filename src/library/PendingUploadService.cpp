#include "library/PendingUploadService.h"

#include "foundation/Shared.h"

PendingUploadService& PendingUploadService::shared() { return Shared<PendingUploadService>::instance(); }

void PendingUploadService::setPendingFilePath(std::optional<QString> path)
{
    if (pendingFilePath_ == path)
        return;
    pendingFilePath_ = std::move(path);
    Q_EMIT pendingFilePathChanged();
}
