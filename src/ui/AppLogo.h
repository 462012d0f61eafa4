#pragma once

#include "ui/PaintCache.h"

#include <QImage>
#include <QWidget>

// The application's logo, 32 by 32 with rounded corners, beside the bold white wordmark. The
// picture is read when the logo is made; without it the wordmark stands alone. Given less width
// than the wordmark needs, the picture stands alone rather than a cut name.
class AppLogo : public QWidget {
    Q_OBJECT

public:
    explicit AppLogo(QWidget* parent = nullptr);
    // With the picture from another file, for a missing or unreadable one.
    explicit AppLogo(const QString& picturePath, QWidget* parent = nullptr);

    static QString defaultPicturePath();
    bool hasPicture() const { return !picture_.isNull(); }
    QSize sizeHint() const override;
    // The picture alone, where the wordmark finds no room (the whole logo without a picture).
    QSize compactSizeHint() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintLogo(QPainter& painter) const;
    QRectF wordmarkRect() const;

    QImage picture_;
    QString wordmark_;
    PaintCache cache_;
};
