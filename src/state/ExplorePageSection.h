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
    // The seed a random row was fetched with: its rows are the head of the list in that order, so
    // the full list they are handed over to asks its later pages with it.
    std::optional<qint64> listSeed;
};

Q_DECLARE_METATYPE(ExplorePageSection)
