#pragma once

#include "model/WallpaperModel.h"

#include <QList>
#include <QString>

// One fact about a wallpaper under its title in the foot bar: a symbol and a text shown as is.
struct DetailItem {
    QString icon;
    QString text;

    // Resolution ("ratio.frame"), file size ("doc") and duration ("clock"), in this order, each
    // only when the record has that text and it is not empty.
    static QList<DetailItem> of(const WallpaperModel& wallpaper);

    bool operator==(const DetailItem&) const = default;
};
