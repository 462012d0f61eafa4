#pragma once

#include <QString>
#include <QStringList>

// What a launch's command line asks, read before anything starts (asking for the usage or the
// version needs no display, and starts no part of the program): run and open its links, print
// the usage or the version, or refuse an option the program does not know. Any argument that
// does not start with a dash is a link. Qt's own options pass with their values, for Qt to take:
// a developer's "-platform offscreen", a session manager's restart with "-session".
class CommandLine {
public:
    enum class Action { run, printUsage, printVersion, refuse };

    struct Reading {
        Action action = Action::run;
        // Why the command line is refused, for standard error.
        QString error;
    };

    // `arguments` with the program first.
    static Reading read(const QStringList& arguments);
    // The manual page's synopsis and options as plain text.
    static QString usage();
};
