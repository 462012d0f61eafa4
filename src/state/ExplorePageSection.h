#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// One row of the Explore page. The Explore screen recognises each row by its exact title.
struct ExplorePageSection {
    QUuid id; // new every time a section is built
    QString title;
    QString subtitle;
    QList<WallpaperResponseItem> wallpapers; // in the backend's order
    qint64 rows = 1;                         // rows of cards the screen gives the section
    // When present, the section's full list is shown shuffled by SeededRandomGenerator.
    std::optional<qint64> shuffleSeed;
};

Q_DECLARE_METATYPE(ExplorePageSection)
