#pragma once

#include "platform/DesktopPicture.h"
#include "platform/RecordedDesktopPicture.h"

#include <QObject>
#include <QStringList>

class ProcessRunner;

// The desktop picture through the running desktop's own tool: GNOME's `gsettings`, KDE
// Plasma's `plasma-apply-wallpaperimage`, XFCE's `xfconf-query`. On any other desktop, or when
// the tool is not installed, the picture is recorded per display by RecordedDesktopPicture.
// A QObject so that a picture being set when its owner lets it go can tell (QPointer) and end
// instead of running the next tool through freed memory; the runner must outlive it.
class LinuxDesktopPicture : public QObject, public DesktopPicture {
public:
    enum class Tool { gsettings, plasma, xfconf, none };

    // The session's desktop ($XDG_CURRENT_DESKTOP), the shared process runner, the default record.
    LinuxDesktopPicture();
    LinuxDesktopPicture(QString currentDesktop, ProcessRunner& runner, QString recordFile);

    // The tool of a desktop named the way $XDG_CURRENT_DESKTOP names it ("ubuntu:GNOME", "KDE").
    static Tool toolForDesktop(const QString& currentDesktop);
    // The tool this desktop offers, or none when its executable cannot be found.
    Tool tool() const;

    QCoro::Task<> setPicture(QString imagePath, ScreenInfo screen) override;

private:
    QCoro::Task<> setWithGsettings(QString imagePath);
    QCoro::Task<> setWithXfconf(QString imagePath);
    // Without a tool: the picture is recorded, and the first time this is said in the log.
    void record(const QString& imagePath, const ScreenInfo& screen);
    // Runs a tool and returns its standard output; a failed run throws DesktopPictureError.
    QCoro::Task<QByteArray> runTool(QString tool, QStringList arguments);

    QString currentDesktop_;
    ProcessRunner& runner_;
    RecordedDesktopPicture recorded_;
    bool announcedRecording_ = false;
};
