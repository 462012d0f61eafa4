#include "pictor/cache/ImageCacheNotifications.h"

namespace pictor {

ImageCacheNotifications& ImageCacheNotifications::shared()
{
    static ImageCacheNotifications instance;
    return instance;
}

} // namespace pictor
