#pragma once

#include "support/ReviewPicture.h"

#include <QWidget>

// Saves what a widget shows as "ui-screenshots/<name>.png" beside the test program, for a
// reviewer to look at; answers the picture for pixel checks.
inline QImage saveScreenshot(QWidget& widget, const QString& name)
{
    const QImage picture = widget.grab().toImage();
    keepReviewPicture(picture, QStringLiteral("ui-screenshots"), name);
    return picture;
}
