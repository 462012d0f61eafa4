#include "platform/PowerSource.h"

#include "foundation/Shared.h"
#include "platform/LinuxPowerSource.h"

PowerSource& PowerSource::shared() { return Shared<PowerSource, LinuxPowerSource>::instance(); }
