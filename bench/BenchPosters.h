#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

// A 640×360 poster of its own for each index, as the catalogue's are; `numbered` writes the index
// on it so a screen grab shows which cell is where.
inline QImage benchPoster(int index, bool numbered)
{
    QImage poster(640, 360, QImage::Format_RGB32);
    QPainter painter(&poster);
    QLinearGradient gradient(0, 0, 640, 360);
    gradient.setColorAt(0, QColor::fromHsv(index * 7 % 360, 160, 220));
    gradient.setColorAt(1, QColor::fromHsv(index * 13 % 360, 200, 90));
    painter.fillRect(poster.rect(), gradient);
    if (numbered) {
        painter.setPen(Qt::white);
        painter.setFont(QFont(QString(), 64));
        painter.drawText(poster.rect(), Qt::AlignCenter, QString::number(index));
    }
    painter.end();
    return poster;
}
