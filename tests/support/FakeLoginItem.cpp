#include "support/FakeLoginItem.h"

#include "foundation/AppError.h"

void FakeLoginItem::registerItem()
{
    ++registerCalls;
    if (registerFailure)
        throw MessageError(*registerFailure);
    status_ = statusAfterRegistering;
}

void FakeLoginItem::unregisterItem()
{
    ++unregisterCalls;
    if (unregisterFailure)
        throw MessageError(*unregisterFailure);
    status_ = Status::NotRegistered;
}
