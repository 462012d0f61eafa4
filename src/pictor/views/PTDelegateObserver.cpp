#include "pictor/views/PTDelegateObserver.h"

namespace pictor {

const std::shared_ptr<PTDelegateObserver>& PTDelegateObserver::shared()
{
    static const auto observer = std::make_shared<PTDelegateObserver>();
    return observer;
}

} // namespace pictor
