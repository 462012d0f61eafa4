#pragma once

#include <QString>
#include <QStringList>

// Application bundles and update packages of each kind, built with the system's zip and tar
// for the updater's tests.
class UpdatePackages {
public:
    // A bundle folder (bin/quorvelle, a resource and a link to it) whose program, a bash script, writes
    // `label` into the file `marker` when it runs.
    static void makeBundle(const QString& bundlePath, const QString& label, const QString& marker);
    // The label of the bundle at `bundlePath`; empty when there is no readable bundle.
    static QString labelOf(const QString& bundlePath);

    // A zip archive of `entries` (paths relative to `folder`), links kept as links.
    static bool zip(const QString& folder, const QStringList& entries, const QString& archive);
    // A disk image of ours: a tar archive of everything in `folder`.
    static bool diskImage(const QString& folder, const QString& image);
    // A bundle sent as one file: a zip of the bundle folder's contents.
    static bool packedBundle(const QString& bundlePath, const QString& file);
};
