#include "platform/LoginItem.h"

#include "foundation/Shared.h"
#include "platform/XdgAutostartLoginItem.h"

LoginItem& LoginItem::shared() { return Shared<LoginItem, XdgAutostartLoginItem>::instance(); }
