#include "UpdatePackages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {
bool run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void write(const QString& path, const QByteArray& content, QFile::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    file.close();
    if (permissions.toInt() != 0)
        file.setPermissions(permissions);
}

QString labelFile(const QString& bundlePath) { return bundlePath + QStringLiteral("/share/quorvelle/label"); }
} // namespace

void UpdatePackages::makeBundle(const QString& bundlePath, const QString& label, const QString& marker)
{
    const QByteArray program = "#!/bin/bash\nprintf '%s' '" + label.toUtf8() + "' > '" + marker.toUtf8() + "'\n";
    write(bundlePath + QStringLiteral("/bin/quorvelle"), program,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::ExeOther);
    write(labelFile(bundlePath), label.toUtf8());
    // A link inside the bundle, as real bundles have.
    QFile::link(QStringLiteral("label"), labelFile(bundlePath) + QStringLiteral("-link"));
}

QString UpdatePackages::labelOf(const QString& bundlePath)
{
    QFile file(labelFile(bundlePath));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool UpdatePackages::zip(const QString& folder, const QStringList& entries, const QString& archive)
{
    return run(QStringLiteral("zip"), QStringList{QStringLiteral("-qry"), archive} + entries, folder);
}

bool UpdatePackages::diskImage(const QString& folder, const QString& image)
{
    return run(QStringLiteral("tar"), {QStringLiteral("-cf"), image, QStringLiteral("-C"), folder, QStringLiteral(".")}, folder);
}

bool UpdatePackages::packedBundle(const QString& bundlePath, const QString& file)
{
    return zip(bundlePath, {QStringLiteral(".")}, file);
}
