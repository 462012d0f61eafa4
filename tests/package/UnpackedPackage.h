#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The Debian package scripts/package built, unpacked into a temporary root with dpkg-deb -x, as
// it would lie under "/" once installed.
class UnpackedPackage {
public:
    // QUORVELLE_PACKAGE when set, else the newest package in the checkout's build/package.
    static QString packageFile();

    UnpackedPackage();
    // An empty string when it is unpacked; else what went wrong, for the test to report.
    const QString& failure() const { return failure_; }

    const QString& deb() const { return deb_; }
    // A path under the root, "usr/bin/quorvelle".
    QString file(const QString& relative) const { return root_.filePath(relative); }
    // Every file (not folder) under the root, relative to it, sorted.
    QStringList files() const;

private:
    QString deb_;
    QTemporaryDir root_;
    QString failure_;
};

// A tool run to its end: its exit code (-1 when it could not start or crashed) and its output,
// standard error after standard output.
struct ToolRun {
    int exitCode = -1;
    QString output;
};
ToolRun runTool(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
