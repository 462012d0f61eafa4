#include "AttachmentRegistry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <unistd.h>

namespace {
const QString kImagePath = QStringLiteral("image-path");
const QString kMountPoint = QStringLiteral("mount-point");

QString privateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return runtime + QStringLiteral("/quorvelle-disk-image");
    return QDir::tempPath() + QStringLiteral("/quorvelle-disk-image-") + QString::number(getuid());
}
} // namespace

bool AttachmentRegistry::open()
{
    folder_ = privateFolder();
    QDir().mkpath(folder_);
    // In a shared temporary folder someone else may have made the name first, or a link to
    // elsewhere: use it only when it is a real folder of ours.
    const QFileInfo info(folder_);
    if (!info.isDir() || info.isSymLink() || info.ownerId() != getuid()) {
        error_ = QStringLiteral("%1 is not a private folder of this user").arg(folder_);
        return false;
    }
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

QString AttachmentRegistry::volumesFolder() const { return folder_ + QStringLiteral("/volumes"); }

QString AttachmentRegistry::normalized(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

QString AttachmentRegistry::recordOf(const QString& mountPoint) const
{
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(normalized(mountPoint)), QCryptographicHash::Sha1).toHex();
    return folder_ + u'/' + QString::fromLatin1(hash) + QStringLiteral(".json");
}

bool AttachmentRegistry::add(const Attachment& attachment)
{
    QSaveFile file(recordOf(attachment.mountPoint));
    if (!file.open(QIODevice::WriteOnly)) {
        error_ = file.errorString();
        return false;
    }
    const QJsonObject record{{kImagePath, attachment.imagePath}, {kMountPoint, normalized(attachment.mountPoint)}};
    file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
    if (!file.commit()) {
        error_ = file.errorString();
        return false;
    }
    return true;
}

QList<AttachmentRegistry::Attachment> AttachmentRegistry::list()
{
    QList<Attachment> attachments;
    const QFileInfoList records = QDir(folder_).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo& record : records) {
        QFile file(record.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        const Attachment attachment{object.value(kImagePath).toString(), object.value(kMountPoint).toString()};
        if (attachment.mountPoint.isEmpty() || !QFileInfo(attachment.mountPoint).isDir()) {
            QFile::remove(record.filePath());
            continue;
        }
        attachments.append(attachment);
    }
    return attachments;
}

bool AttachmentRegistry::contains(const QString& mountPoint) const { return QFileInfo::exists(recordOf(mountPoint)); }

bool AttachmentRegistry::remove(const QString& mountPoint) { return QFile::remove(recordOf(mountPoint)); }
