#include "app/CommandLine.h"

#include "platform/LoginItem.h"

#include "ManualUsage.h"

#include <QSet>

namespace {
const QString kHelp = QStringLiteral("--help");
const QString kVersion = QStringLiteral("--version");

// The options QGuiApplication, QApplication and the X11 platform take out of the command line,
// without their dash: those followed by a value, and those alone.
const QSet<QString> kQtOptionsWithValue{QStringLiteral("platform"), QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"), QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"), QStringLiteral("session"), QStringLiteral("style"), QStringLiteral("stylesheet"),
    QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("icon"), QStringLiteral("name")};
const QSet<QString> kQtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("testability"),
    QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync"), QStringLiteral("qmljsdebugger")};
} // namespace

CommandLine::Reading CommandLine::read(const QStringList& arguments)
{
    Reading reading;
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        if (!argument.startsWith(u'-'))
            continue;
        if (argument == kHelp) {
            reading.action = Action::printUsage;
            return reading;
        }
        if (argument == kVersion) {
            reading.action = Action::printVersion;
            continue;
        }
        if (argument == LoginItem::kLoginLaunchArgument)
            continue;
        // Qt reads "-name value", "--name value" and "-name=value" alike.
        const QString bare = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        const qsizetype equals = bare.indexOf(u'=');
        const QString name = equals < 0 ? bare : bare.left(equals);
        if (kQtFlags.contains(name))
            continue;
        if (kQtOptionsWithValue.contains(name)) {
            if (equals < 0)
                ++index;
            continue;
        }
        reading.action = Action::refuse;
        reading.error = QStringLiteral("unknown option '%1'").arg(argument);
        return reading;
    }
    return reading;
}

QString CommandLine::usage() { return QString::fromUtf8(kManualUsage); }
