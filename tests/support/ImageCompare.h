#pragma once

#include <QImage>
#include <QSize>

#include <cstdlib>

// The mean difference of two pictures per colour channel (0 to 255), compared at a coarse scale
// so that scaling filters, JPEG and YUV rounding do not count.
inline double meanChannelDifference(const QImage& a, const QImage& b, QSize coarse = QSize(96, 54))
{
    const QImage left = a.scaled(coarse, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    const QImage right = b.scaled(coarse, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int y = 0; y < coarse.height(); ++y) {
        for (int x = 0; x < coarse.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * coarse.width() * coarse.height());
}
