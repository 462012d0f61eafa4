#include "platform/SystemLoad.h"

#include "foundation/Shared.h"
#include "platform/ProcSystemLoad.h"

SystemLoad& SystemLoad::shared() { return Shared<SystemLoad, ProcSystemLoad>::instance(); }
