#include "engine/MenuBarHook.h"

#include "foundation/Shared.h"

MenuBarHook& MenuBarHook::shared() { return Shared<MenuBarHook>::instance(); }
