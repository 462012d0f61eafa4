#include "platform/LinuxDesktopPicture.h"

#include "foundation/CancelledError.h"
#include "foundation/Log.h"
#include "platform/DesktopPictureError.h"
#include "platform/ProcessRunner.h"

#include <QPointer>
#include <QUrl>

namespace {
const QString kGsettings = QStringLiteral("gsettings");
const QString kPlasma = QStringLiteral("plasma-apply-wallpaperimage");
const QString kXfconf = QStringLiteral("xfconf-query");
const QString kGnomeBackground = QStringLiteral("org.gnome.desktop.background");
const QString kXfceChannel = QStringLiteral("xfce4-desktop");
// Where XFCE keeps the picture of its first monitor before any has been chosen.
const QString kXfceFirstMonitor = QStringLiteral("/backdrop/screen0/monitor0/workspace0/last-image");

QString toolName(LinuxDesktopPicture::Tool tool)
{
    switch (tool) {
    case LinuxDesktopPicture::Tool::gsettings: return kGsettings;
    case LinuxDesktopPicture::Tool::plasma: return kPlasma;
    case LinuxDesktopPicture::Tool::xfconf: return kXfconf;
    case LinuxDesktopPicture::Tool::none: break;
    }
    return {};
}
} // namespace

LinuxDesktopPicture::LinuxDesktopPicture()
    : LinuxDesktopPicture(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), ProcessRunner::shared(),
        RecordedDesktopPicture::defaultFilePath())
{
}

LinuxDesktopPicture::LinuxDesktopPicture(QString currentDesktop, ProcessRunner& runner, QString recordFile)
    : currentDesktop_(std::move(currentDesktop)), runner_(runner), recorded_(std::move(recordFile))
{
}

LinuxDesktopPicture::Tool LinuxDesktopPicture::toolForDesktop(const QString& currentDesktop)
{
    for (const QString& name : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString desktop = name.trimmed().toUpper();
        if (desktop == u"GNOME" || desktop == u"UNITY" || desktop == u"BUDGIE")
            return Tool::gsettings;
        if (desktop == u"KDE")
            return Tool::plasma;
        if (desktop == u"XFCE")
            return Tool::xfconf;
    }
    return Tool::none;
}

LinuxDesktopPicture::Tool LinuxDesktopPicture::tool() const
{
    const Tool wanted = toolForDesktop(currentDesktop_);
    if (wanted == Tool::none || runner_.toolPath(toolName(wanted)).isEmpty())
        return Tool::none;
    return wanted;
}

QCoro::Task<> LinuxDesktopPicture::setPicture(QString imagePath, ScreenInfo screen)
{
    // The desktops' tools take one picture for all displays; each call sets it again, which
    // costs one short run and keeps every display right after a display was added.
    const Tool available = tool();
    if (available == Tool::gsettings)
        co_await setWithGsettings(imagePath);
    else if (available == Tool::plasma)
        co_await runTool(kPlasma, QStringList(imagePath));
    else if (available == Tool::xfconf)
        co_await setWithXfconf(imagePath);
    else
        record(imagePath, screen);
}

void LinuxDesktopPicture::record(const QString& imagePath, const ScreenInfo& screen)
{
    if (!announcedRecording_) {
        announcedRecording_ = true;
        logLine(QStringLiteral("ℹ️"), QStringLiteral("DesktopPicture"),
            QStringLiteral("No desktop tool to drive in this session; desktop pictures are recorded in ")
                + recorded_.filePath());
    }
    recorded_.record(imagePath, screen);
}

QCoro::Task<> LinuxDesktopPicture::setWithGsettings(QString imagePath)
{
    const QPointer<LinuxDesktopPicture> self(this);
    const QString uri = QUrl::fromLocalFile(imagePath).toString(QUrl::FullyEncoded);
    const QStringList light{QStringLiteral("set"), kGnomeBackground, QStringLiteral("picture-uri"), uri};
    co_await runTool(kGsettings, light);
    throwIfGone(self);
    // Only newer GNOME releases have a picture for the dark style; older ones lack the key.
    const QStringList dark{QStringLiteral("set"), kGnomeBackground, QStringLiteral("picture-uri-dark"), uri};
    co_await runner_.run(kGsettings, dark);
}

QCoro::Task<> LinuxDesktopPicture::setWithXfconf(QString imagePath)
{
    const QPointer<LinuxDesktopPicture> self(this);
    const QStringList list{QStringLiteral("-c"), kXfceChannel, QStringLiteral("-l")};
    const QByteArray listing = co_await runTool(kXfconf, list);
    throwIfGone(self);
    QStringList properties;
    for (const QByteArray& line : listing.split('\n')) {
        const QString property = QString::fromUtf8(line).trimmed();
        if (property.endsWith(QLatin1String("/last-image")))
            properties << property;
    }
    if (properties.isEmpty()) {
        const QStringList create{QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), kXfceFirstMonitor,
            QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("string"), QStringLiteral("-s"), imagePath};
        co_await runTool(kXfconf, create);
        co_return;
    }
    for (const QString& property : properties) {
        throwIfGone(self);
        const QStringList set{QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), property, QStringLiteral("-s"), imagePath};
        co_await runTool(kXfconf, set);
    }
}

QCoro::Task<QByteArray> LinuxDesktopPicture::runTool(QString tool, QStringList arguments)
{
    const ProcessResult result = co_await runner_.run(tool, arguments);
    if (result.succeeded())
        co_return result.standardOutput;
    QString reason = result.errorMessage;
    if (result.exitedNormally()) {
        const QString output = QString::fromUtf8(result.standardError + result.standardOutput).trimmed();
        reason = QStringLiteral("“%1” exited with status %2").arg(tool).arg(result.exitCode)
            + (output.isEmpty() ? QString() : QStringLiteral(": ") + output);
    }
    throw DesktopPictureError(reason);
}
