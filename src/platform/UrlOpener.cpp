#include "platform/UrlOpener.h"

#include "foundation/Shared.h"
#include "platform/DesktopUrlOpener.h"

UrlOpener& UrlOpener::shared() { return Shared<UrlOpener, DesktopUrlOpener>::instance(); }
