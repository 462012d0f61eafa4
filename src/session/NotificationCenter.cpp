#include "session/NotificationCenter.h"

#include "foundation/Shared.h"

NotificationCenter& NotificationCenter::shared() { return Shared<NotificationCenter>::instance(); }

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo) { Q_EMIT posted(name, userInfo); }
