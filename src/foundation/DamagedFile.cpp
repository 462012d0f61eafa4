#include "foundation/DamagedFile.h"

#include "foundation/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {
const QString kMarker = QStringLiteral(".damaged-");

// The copies of `path`, oldest first: by the time in their names, then by the number that
// tells apart copies of the same second (none, then "-2", "-3", ...).
QStringList copiesOldestFirst(const QString& path)
{
    const QFileInfo file(path);
    const QString prefix = file.fileName() + kMarker;
    QStringList names = file.dir().entryList({prefix + u'*'}, QDir::Files);
    const auto order = [&prefix](const QString& name) {
        const QString stamp = name.mid(prefix.size());
        const qsizetype dash = stamp.indexOf(u'-', stamp.indexOf(u'-') + 1);
        return std::pair(dash < 0 ? stamp : stamp.left(dash), dash < 0 ? 1 : stamp.mid(dash + 1).toInt());
    };
    std::sort(names.begin(), names.end(), [&order](const QString& a, const QString& b) { return order(a) < order(b); });
    for (QString& name : names)
        name = file.dir().filePath(name);
    return names;
}
} // namespace

std::optional<QString> DamagedFile::moveAside(const QString& path)
{
    const QString stem = path + kMarker + Clock::system().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int attempt = 2; QFileInfo::exists(target); ++attempt)
        target = stem + QLatin1Char('-') + QString::number(attempt);
    if (!QFile::rename(path, target))
        return std::nullopt;
    const QStringList copies = copiesOldestFirst(path);
    for (qsizetype index = 0; index + kKeptCopies < copies.size(); ++index)
        QFile::remove(copies.at(index));
    return target;
}

bool DamagedFile::hasCopies(const QString& path)
{
    const QFileInfo file(path);
    return !file.dir().entryList({file.fileName() + kMarker + u'*'}, QDir::Files).isEmpty();
}
