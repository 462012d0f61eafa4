#include "foundation/CacheFile.h"

#include <QFile>
#include <QUuid>

#include <cstdio>
#include <cstring>

namespace CacheFile {

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    // A name of its own beside the destination, so that two writers of one file never share a
    // partial one and the rename stays on one file system.
    QFile partial(path + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128));
    const auto fail = [&](const QString& why) {
        partial.remove();
        if (error)
            *error = why;
        return false;
    };
    if (!partial.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(partial.errorString());
    if (partial.write(bytes) != bytes.size() || !partial.flush())
        return fail(partial.errorString());
    partial.close();
    if (partial.error() != QFileDevice::NoError)
        return fail(partial.errorString());
    // rename(2) replaces what had the name in one step; QFile::rename would not replace it.
    if (std::rename(QFile::encodeName(partial.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

} // namespace CacheFile
