#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace signalry {

bool AtomicFile::write(const QString& path, const QByteArray& data, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create folder ") + folder;
        return false;
    }
    // What the user did is nobody else's to read: the file is the owner's alone, and so is a
    // folder made for it (one that was there, the user's caches root say, is left as it is).
    if (!folderExisted)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

QString AtomicFile::moveAside(const QString& path)
{
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    return QFile::rename(path, aside) ? aside : QString();
}

} // namespace signalry
