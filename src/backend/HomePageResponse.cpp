#include "backend/HomePageResponse.h"

#include "foundation/JsonReader.h"

namespace {
const QString kHeroCarousel = QStringLiteral("hero_carousel");
} // namespace

HomePageResponse HomePageResponse::fromJson(const JsonReader& json)
{
    HomePageResponse page;
    page.heroCarousel = json.required<HomeSectionData>(kHeroCarousel);
    for (const QString& name : json.keys()) {
        if (name == kHeroCarousel)
            continue;
        try {
            page.sections.insert(name, json.required<HomeSectionData>(name));
        } catch (const JsonError&) {
            // Not a section (a number, a section without "data", a broken item): left out.
        }
    }
    return page;
}
