#include "platform/ApplicationBundle.h"

#include "foundation/Paths.h"

#include <QCoreApplication>
#include <QDir>

ApplicationBundle ApplicationBundle::running()
{
    ApplicationBundle bundle;
    bundle.path = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    bundle.shortVersion = QStringLiteral(QUORVELLE_VERSION);
    return bundle;
}

QString ApplicationBundle::defaultApplicationsFolder() { return Paths::home() + QStringLiteral("/Applications"); }

QString ApplicationBundle::programPath(const QString& bundlePath) { return bundlePath + u'/' + kProgram; }
