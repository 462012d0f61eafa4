#pragma once

#include <QCoro/QCoroTask>
#include <QString>

// Puts a new application bundle at `destination` without ever leaving the user with none: the
// bundle is made complete in a hidden sibling folder, checked for its program, and swapped in by
// two renames; the installed one comes back if the swap fails and is removed only after it
// succeeded. Copies and removals run on a pool thread. Failures throw FileError (the file
// system's) or UpdateError (not a bundle); the sibling folder is removed on every failure.
class BundleReplacer {
public:
    // Copies the bundle folder `source`; links are copied as links.
    static QCoro::Task<> copy(QString source, QString destination);
    // Unpacks a bundle sent as one file: a zip archive of the bundle folder's contents.
    static QCoro::Task<> unpack(QString archive, QString destination);
};
