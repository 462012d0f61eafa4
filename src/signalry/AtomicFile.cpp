#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace signalry {

bool AtomicFile::write(const QString& path, const QByteArray& data, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create folder ") + folder;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString AtomicFile::moveAside(const QString& path)
{
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    return QFile::rename(path, aside) ? aside : QString();
}

} // namespace signalry
