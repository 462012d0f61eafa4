#pragma once

namespace samplecatalogue {

class CatalogueData;
class Router;
class UsageCounters;

// "/increment-wallpaper?key=K&type=downloads|likes": counts one download or like of a catalogue
// wallpaper and answers {"success", "key", "type", "count"}; 404 for an unknown key.
class CounterEndpoint {
public:
    static void install(Router& router, const CatalogueData& data, UsageCounters& counters);
};

} // namespace samplecatalogue
