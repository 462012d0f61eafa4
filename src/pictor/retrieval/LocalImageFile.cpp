#include "pictor/retrieval/LocalImageFile.h"

#include <QFile>
#include <QFileInfo>

namespace pictor {

Result<QByteArray, QString> LocalImageFile::read(const QString& path)
{
    using R = Result<QByteArray, QString>;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return R::failure(QStringLiteral("%1 is not a file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return R::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    // As far as the file reaches once open: one still being written is read no further.
    const qint64 size = file.size();
    if (size > kMaximumBytes)
        return R::failure(QStringLiteral("%1 holds %2 bytes, more than the %3 read").arg(path).arg(size).arg(kMaximumBytes));
    QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        return R::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return R::success(std::move(bytes));
}

} // namespace pictor
