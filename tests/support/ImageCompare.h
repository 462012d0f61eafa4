#pragma once

#include <QImage>
#include <QSet>
#include <QSize>

#include <algorithm>
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

// The largest difference of two pictures of one size in any colour channel of any pixel.
inline int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

// How many distinct colours a coarse sampling of the picture holds: a page that drew nothing
// (or only its background) has a handful.
inline int sampledColours(const QImage& picture)
{
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 8)
        for (int x = 0; x < picture.width(); x += 8)
            colours.insert(picture.pixel(x, y) & 0xf0f0f0);
    return int(colours.size());
}
