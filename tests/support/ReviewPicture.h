#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <QString>

// Saves a picture as "<folder>/<name>.png" beside the test program, for a reviewer to look at.
// A case runs alone and, at the same time, inside its whole executable, so the picture is written
// under a temporary name and renamed into place: no run ever meets half a file, or none.
inline bool keepReviewPicture(const QImage& picture, const QString& folder, const QString& name)
{
    const QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + folder;
    QDir().mkpath(path);
    QSaveFile file(path + QLatin1Char('/') + name + QStringLiteral(".png"));
    return file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
}
