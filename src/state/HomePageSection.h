#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

// One titled row of the home screen. `id` is new on every load, so views never reuse a row of
// an earlier load.
struct HomePageSection {
    QUuid id;
    QString title;
    QString subtitle; // empty when the backend gives none
    QList<WallpaperResponseItem> wallpapers;
};

Q_DECLARE_METATYPE(HomePageSection)
