#pragma once

#include <QList>
#include <QSize>
#include <QString>

// The screenshots software-centre metadata lists: each source image's address and size.
struct MetainfoScreenshot {
    QString address;
    QSize size;
    // The file name without ".png": "home".
    QString name() const;
};

QList<MetainfoScreenshot> screenshotsIn(const QString& metainfo);
