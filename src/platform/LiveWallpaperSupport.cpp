#include "platform/LiveWallpaperSupport.h"

#include "foundation/Shared.h"
#include "platform/SessionLiveWallpaperSupport.h"

LiveWallpaperSupport& LiveWallpaperSupport::shared()
{
    return Shared<LiveWallpaperSupport, SessionLiveWallpaperSupport>::instance();
}
