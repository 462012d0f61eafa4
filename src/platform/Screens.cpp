#include "platform/Screens.h"

#include "foundation/Shared.h"
#include "platform/QtScreens.h"

Screens& Screens::shared() { return Shared<Screens, QtScreens>::instance(); }
