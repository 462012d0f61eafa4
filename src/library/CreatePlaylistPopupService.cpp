#include "library/CreatePlaylistPopupService.h"

#include "foundation/Shared.h"

CreatePlaylistPopupService::CreatePlaylistPopupService(QObject* parent) : QObject(parent) {}

CreatePlaylistPopupService& CreatePlaylistPopupService::shared() { return Shared<CreatePlaylistPopupService>::instance(); }

void CreatePlaylistPopupService::show() { present(true); }

void CreatePlaylistPopupService::hide() { present(false); }

void CreatePlaylistPopupService::present(bool presented)
{
    // Queued on this object, so the caller still sees the old value, and a request outliving
    // the service is dropped.
    QMetaObject::invokeMethod(this, [this, presented] {
        isPresented_ = presented;
        emit isPresentedChanged(presented);
    }, Qt::QueuedConnection);
}
