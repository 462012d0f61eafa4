#pragma once

#include "model/WallpaperModel.h"

#include <QList>
#include <QString>

class QPainter;
class QPointF;

// A small fact chip of a wallpaper (its resolution, file size or duration): a symbol and the
// record's own text, 4 points apart, in the caption font, white at 80%.
struct DetailItem {
    QString symbol;
    QString text;

    // The chips of a record in the order resolution ("aspectratio"), file size ("doc"),
    // duration ("clock"); a missing or empty text gives no chip.
    static QList<DetailItem> detailItems(const WallpaperModel& wallpaper);

    int width() const;
    static int height();
    // Draws the chip with its top-left corner at `origin`.
    void paint(QPainter& painter, const QPointF& origin) const;
    // The width of a row of chips `spacing` apart.
    static int rowWidth(const QList<DetailItem>& items, int spacing);

    bool operator==(const DetailItem&) const = default;
};
