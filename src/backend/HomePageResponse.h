#pragma once

#include "backend/HomeSectionData.h"

#include <QHash>
#include <QString>

class JsonReader;

// The home page: the hero carousel and whatever named sections the backend sends (the client
// knows none of their names in advance). The sections keep no order; whoever shows them orders
// them.
struct HomePageResponse {
    HomeSectionData heroCarousel;
    QHash<QString, HomeSectionData> sections;

    // A broken "hero_carousel" fails the page; a top-level value that is not a section is
    // skipped, so one broken section never costs the others.
    static HomePageResponse fromJson(const JsonReader& json);
};
