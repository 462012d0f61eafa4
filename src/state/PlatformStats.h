#pragma once

#include "state/PlatformStatsData.h"

#include <QCoro/QCoroTask>

class APIService;
class JsonReader;

// The envelope of the "platform-stats" reply, {"data": record}, and the request that fetches it.
struct PlatformStats {
    PlatformStatsData data;

    // The top level must be an object whose "data" is the record. Throws JsonError.
    static PlatformStats fromJson(const JsonReader& json);

    // GET baseURL + "/platform-stats" through the backend client, always from the network (the
    // client never caches it). Throws APIError: invalidURL, the request's own failures,
    // invalidResponseFormat for an empty body and decodingError for any other bad reply.
    static QCoro::Task<PlatformStatsData> fetch(APIService& api);
};
