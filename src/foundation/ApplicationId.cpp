#include "foundation/ApplicationId.h"

QString ApplicationId::id() { return QStringLiteral(QUORVELLE_APP_ID); }

QString ApplicationId::desktopFileName() { return id() + QStringLiteral(".desktop"); }

QString ApplicationId::displayName() { return QStringLiteral("Quorvelle"); }
