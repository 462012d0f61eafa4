#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class Relauncher;
struct ProcessResult;

// The installation steps of the three update file kinds: a disk image (mounted with the
// disk-image tool), a zip archive (extracted with unzip) and a bundle sent as one file. Each
// puts the bundle into the applications folder in place of the installed one, then relaunches.
// Mounts and extraction folders are removed on every path. Every failure throws; the installed
// application is then untouched. GUI thread; lives for one installation.
class UpdateInstaller {
public:
    using Report = std::function<void(double fraction)>;

    // `bundleName`: the running application's bundle name, the only one installed.
    // `context` owns `relauncher` and bounds the termination the relaunch schedules; an
    // installation that ends after it went away relaunches nothing.
    UpdateInstaller(QString applicationsFolder, QString bundleName, Relauncher& relauncher, const QObject* context,
        Report report);

    QCoro::Task<> installFromDMG(QString image);
    QCoro::Task<> installFromZIP(QString archive);
    QCoro::Task<> installAppBundle(QString bundle);

    static QString extractionDirectory();

private:
    QCoro::Task<QString> copyFromVolume(QString mountPoint);
    QCoro::Task<QString> copyFromExtraction(QString archive, QString folder);
    // Replaces the installed bundle with `source`, reporting `reportFirst` before the copy.
    QCoro::Task<> copyInto(QString source, QString destination, std::optional<double> reportFirst);
    QString destinationFor(const QString& bundleName) const;
    void relaunch(const QString& destination);

    QString applicationsFolder_;
    QString bundleName_;
    Relauncher& relauncher_;
    QPointer<const QObject> context_;
    Report report_;
};
