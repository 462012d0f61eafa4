#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

class ProcessRunner;

// Makes the desktop open "quorvelle:" links with this program: a desktop entry that handles
// x-scheme-handler/quorvelle in the user's applications folder, made the default handler
// through xdg-mime when that tool is installed (silently skipped when it is not). A program
// installed with its own launcher entry writes none: that entry is made the default instead,
// so the launcher never lists the program twice. GUI thread.
class UrlSchemeRegistration {
public:
    static inline const QString kScheme = QStringLiteral("quorvelle");
    static inline const QString kDesktopFileName = QStringLiteral("quorvelle.desktop");
    static inline const QString kMimeType = QStringLiteral("x-scheme-handler/quorvelle");

    // `executablePath`: the program the desktop starts with the link as its argument;
    // `systemDataFolders`: where an installed launcher entry is looked for.
    UrlSchemeRegistration(ProcessRunner& processes, QString executablePath, QStringList systemDataFolders);
    UrlSchemeRegistration(ProcessRunner& processes, QString executablePath);

    // Application Support + "/applications/quorvelle.desktop" (~/.local/share/applications).
    static QString desktopFilePath();
    // The entry's text.
    QString desktopEntry() const;

    // Writes the entry when it is missing or differs (or, when the program is installed with
    // its launcher entry, removes the one an earlier run wrote), then makes the entry in use the
    // scheme's default handler unless it already is. Never fails: a problem is logged. True
    // when an entry is in place.
    QCoro::Task<bool> registerScheme();

private:
    bool writeEntry() const;
    void removeOwnEntry() const;
    QCoro::Task<> makeDefault(QString desktopFileName);

    ProcessRunner& processes_;
    const QString executablePath_;
    const QStringList systemDataFolders_;
};
