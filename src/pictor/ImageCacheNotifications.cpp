#include "pictor/ImageCacheNotifications.h"

namespace pictor {

ImageCacheNotifications& ImageCacheNotifications::shared()
{
    static ImageCacheNotifications instance;
    return instance;
}

} // namespace pictor
