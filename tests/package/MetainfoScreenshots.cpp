#include "MetainfoScreenshots.h"

#include <QRegularExpression>

QString MetainfoScreenshot::name() const { return address.section(u'/', -1).section(u'.', 0, 0); }

QList<MetainfoScreenshot> screenshotsIn(const QString& metainfo)
{
    QList<MetainfoScreenshot> shots;
    QRegularExpressionMatchIterator images
        = QRegularExpression(QStringLiteral("<image type=\"source\" width=\"(\\d+)\" height=\"(\\d+)\">([^<]*)<")).globalMatch(metainfo);
    while (images.hasNext()) {
        const QRegularExpressionMatch image = images.next();
        shots.append({image.captured(3).trimmed(), QSize(image.captured(1).toInt(), image.captured(2).toInt())});
    }
    return shots;
}
