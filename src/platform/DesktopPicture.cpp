#include "platform/DesktopPicture.h"

#include "foundation/Shared.h"
#include "platform/LinuxDesktopPicture.h"

DesktopPicture& DesktopPicture::shared() { return Shared<DesktopPicture, LinuxDesktopPicture>::instance(); }
