#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// What a package's Depends field brings onto this system: each package it names that is
// installed here, and what those depend on in turn (Depends and Pre-Depends), read from dpkg's
// records. A virtual name counts through the installed packages that provide it; of
// alternatives, each installed one counts. Recommends do not: apt may leave them out.
class InstalledDependencies {
public:
    explicit InstalledDependencies(const QString& depends);

    // Empty when dpkg's records were read; else what went wrong.
    const QString& failure() const { return failure_; }
    bool contains(const QString& package) const { return packages_.contains(package); }

    // The package names of one dependency field, version and architecture left out.
    static QStringList namesIn(const QString& field);
    // The packages owning each file, by dpkg's records ("/usr/lib/..." found under "/lib/..."
    // too, as merged-/usr systems record it); a file of no package is absent.
    static QHash<QString, QStringList> owners(const QStringList& files);

private:
    QSet<QString> packages_;
    QString failure_;
};
