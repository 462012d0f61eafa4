#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

// Saves what a widget shows as "ui-screenshots/<name>.png" beside the test program, for a
// reviewer to look at; answers the picture for pixel checks.
inline QImage saveScreenshot(QWidget& widget, const QString& name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/ui-screenshots");
    QDir().mkpath(folder);
    const QImage picture = widget.grab().toImage();
    picture.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    return picture;
}
