#include "InstalledDependencies.h"

#include "UnpackedPackage.h"

#include <QRegularExpression>

namespace {
// "dpkg-query -S" lines: "pkg1:amd64, pkg2: /path"; diversion lines are left out.
void readOwners(const QString& output, QHash<QString, QStringList>& found, const QString& prefix = {})
{
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype separator = line.indexOf(QStringLiteral(": /"));
        if (separator < 0 || line.startsWith(QStringLiteral("diversion ")))
            continue;
        QStringList packages;
        for (const QString& owner : line.left(separator).split(u',', Qt::SkipEmptyParts))
            packages.append(owner.trimmed().section(u':', 0, 0));
        found[prefix + line.mid(separator + 2)].append(packages);
    }
}
} // namespace

QStringList InstalledDependencies::namesIn(const QString& field)
{
    QStringList names;
    for (const QString& group : field.split(u',', Qt::SkipEmptyParts)) {
        for (QString alternative : group.split(u'|', Qt::SkipEmptyParts)) {
            alternative.remove(QRegularExpression(QStringLiteral("\\([^)]*\\)|\\[[^]]*\\]|<[^>]*>")));
            const QString name = alternative.trimmed().section(u':', 0, 0);
            if (!name.isEmpty())
                names.append(name);
        }
    }
    return names;
}

QHash<QString, QStringList> InstalledDependencies::owners(const QStringList& files)
{
    QHash<QString, QStringList> found;
    if (files.isEmpty())
        return found;
    readOwners(runTool(QStringLiteral("dpkg-query"), QStringList{QStringLiteral("-S")} + files).output, found);
    QStringList merged;
    for (const QString& file : files)
        if (!found.contains(file) && file.startsWith(QStringLiteral("/usr/")))
            merged.append(file.mid(4));
    if (!merged.isEmpty())
        readOwners(runTool(QStringLiteral("dpkg-query"), QStringList{QStringLiteral("-S")} + merged).output, found, QStringLiteral("/usr"));
    return found;
}

InstalledDependencies::InstalledDependencies(const QString& depends)
{
    const ToolRun query = runTool(QStringLiteral("dpkg-query"),
        {QStringLiteral("-W"), QStringLiteral("-f"), QStringLiteral("${db:Status-Abbrev}\\t${Package}\\t${Provides}\\t${Depends}, ${Pre-Depends}\\n")});
    if (query.exitCode != 0) {
        failure_ = QStringLiteral("dpkg-query failed: ") + query.output;
        return;
    }
    // Each installed package's dependencies, and the installed packages providing each name.
    QHash<QString, QStringList> installed;
    QHash<QString, QStringList> providers;
    for (const QString& line : query.output.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() < 4 || !fields[0].startsWith(QStringLiteral("ii")))
            continue;
        installed[fields[1]].append(namesIn(fields[3]));
        for (const QString& name : namesIn(fields[2]))
            providers[name].append(fields[1]);
    }
    QStringList pending = namesIn(depends);
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        QStringList packages = providers.value(name);
        if (installed.contains(name))
            packages.append(name);
        for (const QString& package : packages) {
            if (packages_.contains(package))
                continue;
            packages_.insert(package);
            pending.append(installed.value(package));
        }
    }
}
