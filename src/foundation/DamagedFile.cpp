#include "foundation/DamagedFile.h"

#include "foundation/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kMarker = QStringLiteral(".damaged-");
}

std::optional<QString> DamagedFile::moveAside(const QString& path)
{
    const QString stem = path + kMarker + Clock::system().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int attempt = 2; QFileInfo::exists(target); ++attempt)
        target = stem + QLatin1Char('-') + QString::number(attempt);
    if (!QFile::rename(path, target))
        return std::nullopt;
    return target;
}

bool DamagedFile::hasCopies(const QString& path)
{
    const QFileInfo file(path);
    return !file.dir().entryList({file.fileName() + kMarker + u'*'}, QDir::Files).isEmpty();
}
