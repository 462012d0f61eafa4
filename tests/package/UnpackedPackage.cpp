#include "UnpackedPackage.h"

#include "support/TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>

QString UnpackedPackage::packageFile()
{
    const QString given = qEnvironmentVariable("QUORVELLE_PACKAGE");
    if (!given.isEmpty())
        return given;
    const QDir folder(TestPaths::sourceFile(QStringLiteral("build/package")));
    const QStringList packages = folder.entryList({QStringLiteral("*.deb")}, QDir::Files, QDir::Time);
    return packages.isEmpty() ? QString() : folder.filePath(packages.first());
}

UnpackedPackage::UnpackedPackage() : deb_(packageFile())
{
    if (deb_.isEmpty() || !QFileInfo(deb_).isFile()) {
        failure_ = QStringLiteral("no package: build it with scripts/package (or name it in QUORVELLE_PACKAGE)");
        return;
    }
    const ToolRun unpack = runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb_, root_.path()});
    if (unpack.exitCode != 0)
        failure_ = QStringLiteral("dpkg-deb -x failed: ") + unpack.output;
}

QStringList UnpackedPackage::files() const
{
    QStringList found;
    QDirIterator it(root_.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root_.path()).relativeFilePath(it.next()));
    found.sort();
    return found;
}

ToolRun runTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    // No limit of its own: the test case's time limit ends a tool that hangs.
    if (!process.waitForStarted() || !process.waitForFinished(-1))
        return {-1, program + QStringLiteral(" did not run: ") + process.errorString()};
    const QString output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, output};
}
