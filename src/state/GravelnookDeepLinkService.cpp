#include "state/GravelnookDeepLinkService.h"

#include "foundation/Async.h"
#include "foundation/Shared.h"
#include "state/AssignChanged.h"

#include <QPointer>

GravelnookDeepLinkService& GravelnookDeepLinkService::shared() { return Shared<GravelnookDeepLinkService>::instance(); }

void GravelnookDeepLinkService::setPendingId(QString id)
{
    postToMain([self = QPointer<GravelnookDeepLinkService>(this), id = std::move(id)] {
        if (self)
            self->setPendingIdNow(id);
    });
}

void GravelnookDeepLinkService::setPendingIdNow(std::optional<QString> id)
{
    if (assignChanged(pendingId_, std::move(id)))
        Q_EMIT pendingIdChanged();
}
