#pragma once

#include <QCoro/QCoroTask>
#include <QString>

class ProcessRunner;

// Makes the desktop open "quorvelle:" links with this program: a desktop entry that handles
// x-scheme-handler/quorvelle in the user's applications folder, made the default handler
// through xdg-mime when that tool is installed (silently skipped when it is not). GUI thread.
class UrlSchemeRegistration {
public:
    static inline const QString kScheme = QStringLiteral("quorvelle");
    static inline const QString kDesktopFileName = QStringLiteral("quorvelle.desktop");
    // The desktop entry's name without ".desktop": the program's application id.
    static QString applicationId() { return kDesktopFileName.chopped(int(qstrlen(".desktop"))); }
    static inline const QString kMimeType = QStringLiteral("x-scheme-handler/quorvelle");

    // `executablePath`: the program the desktop starts with the link as its argument.
    UrlSchemeRegistration(ProcessRunner& processes, QString executablePath);

    // Application Support + "/applications/quorvelle.desktop" (~/.local/share/applications).
    static QString desktopFilePath();
    // The entry's text.
    QString desktopEntry() const;

    // Writes the entry when it is missing or differs, then makes it the scheme's default handler
    // unless it already is. Never fails: a problem is logged. True when the entry is in place.
    QCoro::Task<bool> registerScheme();

private:
    bool writeEntry() const;

    ProcessRunner& processes_;
    const QString executablePath_;
};
