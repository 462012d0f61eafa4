#include "foundation/DamagedFile.h"

#include "foundation/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
const QString kMarker = QStringLiteral(".damaged-");

QStringList copiesOf(const QString& path)
{
    const QFileInfo file(path);
    // "<file>.damaged-<stamp>" and "<stamp>-<n>"; a companion ("<stamp>-wal") is no copy of its own.
    static const QRegularExpression copy(QStringLiteral("^\\d{8}-\\d{6}(-\\d+)?$"));
    const qsizetype stampAt = file.fileName().size() + kMarker.size();
    QStringList copies;
    for (const QString& name : file.dir().entryList({file.fileName() + kMarker + u'*'}, QDir::Files))
        if (copy.match(name.mid(stampAt)).hasMatch())
            copies.append(file.dir().filePath(name));
    return copies;
}

bool sameBytes(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kPiece = 1 << 20;
    while (!first.atEnd())
        if (first.read(kPiece) != second.read(kPiece))
            return false;
    return true;
}

// A kept copy with the same bytes as the file (and the same companions), if any.
std::optional<QString> identicalCopy(const QString& path, const QStringList& companions)
{
    for (const QString& copy : copiesOf(path)) {
        bool same = sameBytes(path, copy);
        for (const QString& suffix : companions)
            same = same && QFileInfo::exists(path + suffix) == QFileInfo::exists(copy + suffix)
                && (!QFileInfo::exists(path + suffix) || sameBytes(path + suffix, copy + suffix));
        if (same)
            return copy;
    }
    return std::nullopt;
}

QString freeName(const QString& path)
{
    const QString stem = path + kMarker + Clock::system().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int attempt = 2; QFileInfo::exists(target); ++attempt)
        target = stem + QLatin1Char('-') + QString::number(attempt);
    return target;
}

// Copies and syncs, never over an existing file: the copy is the user's.
bool copyFile(const QString& from, const QString& to, QString* failure)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *failure = source.errorString();
        return false;
    }
    const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *failure = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    bool written = true;
    while (written && !source.atEnd()) {
        const QByteArray piece = source.read(1 << 20);
        written = !piece.isEmpty() && ::write(fd, piece.constData(), size_t(piece.size())) == piece.size();
    }
    written = written && ::fsync(fd) == 0;
    if (!written)
        *failure = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    if (!written)
        QFile::remove(to); // a partial copy of ours, never the user's file
    return written;
}
} // namespace

std::optional<QString> DamagedFile::moveAside(const QString& path)
{
    if (const std::optional<QString> same = identicalCopy(path, {})) {
        if (!QFile::remove(path))
            return std::nullopt;
        return same;
    }
    const QString target = freeName(path);
    if (!QFile::rename(path, target))
        return std::nullopt;
    return target;
}

std::optional<QString> DamagedFile::copyAside(const QString& path, const QStringList& companions, QString* failure)
{
    if (std::optional<QString> same = identicalCopy(path, companions))
        return same;
    const QString target = freeName(path);
    if (!copyFile(path, target, failure))
        return std::nullopt;
    for (const QString& suffix : companions)
        if (QFileInfo::exists(path + suffix) && !copyFile(path + suffix, target + suffix, failure))
            return std::nullopt;
    return target;
}

bool DamagedFile::hasCopies(const QString& path) { return !copiesOf(path).isEmpty(); }
