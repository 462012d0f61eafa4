#include "app/LaunchRefusal.h"

#include "foundation/ApplicationId.h"
#include "foundation/Log.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace {
const QString kType = QStringLiteral("Quorvelle");

// Platforms that draw for nobody.
bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal")
        && QGuiApplication::primaryScreen() != nullptr;
}
} // namespace

LaunchRefusal LaunchRefusal::unanswered()
{
    const QString name = ApplicationId::displayName();
    return {tr("%1 is already running, but it did not answer.").arg(name),
        tr("Wait a moment and start %1 again. If it still does not answer, end the running %1 "
           "(for example in the system monitor) and start it again.")
            .arg(name)};
}

LaunchRefusal LaunchRefusal::earlierVersionRuns()
{
    const QString name = ApplicationId::displayName();
    return {tr("An earlier version of %1 is still running with your settings, so this one did not start.").arg(name),
        tr("Quit the running %1 (from its tray menu, or in the system monitor) and start %1 again.").arg(name)};
}

LaunchRefusal LaunchRefusal::lockUnavailable(const QString& reason, const QString& profileFolder)
{
    const QString name = ApplicationId::displayName();
    return {tr("%1 cannot tell whether it is already running, so it did not start.").arg(name),
        tr("Make sure the folder %1 and what it holds are yours and that you may read and write them "
           "(for example: chmod u+rwx \"%1\"), then start %2 again.\n\nThe system said: %3.")
            .arg(profileFolder, name, reason)};
}

void LaunchRefusal::tell() const
{
    if (!hasDisplay())
        return;
    QMessageBox box(QMessageBox::Critical, tr("%1 Did Not Start").arg(ApplicationId::displayName()), reason_, QMessageBox::Ok);
    // Paths and the system's words are text, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral("<p>") + remedy_.toHtmlEscaped().replace(QStringLiteral("\n\n"), QStringLiteral("</p><p>"))
        + QStringLiteral("</p>"));
    QObject::connect(&box, &QMessageBox::finished, qApp, &QCoreApplication::quit);
    box.show();
    // Said once the event loop runs, which maps the box.
    QTimer::singleShot(0, &box, [] { logLine(QStringLiteral("ℹ️"), kType, QStringLiteral("Told the user why this launch ends")); });
    QCoreApplication::exec();
}
