#include "state/PlatformStats.h"

#include "backend/APIError.h"
#include "backend/APIService.h"
#include "foundation/JsonReader.h"

PlatformStats PlatformStats::fromJson(const JsonReader& json)
{
    return PlatformStats{PlatformStatsData::fromJson(json.field("data"))};
}

QCoro::Task<PlatformStatsData> PlatformStats::fetch(APIService& api)
{
    const auto url = api.endpointURL(QStringLiteral("platform-stats"));
    if (!url)
        throw APIError::invalidURL();
    const QByteArray body = co_await api.request(*url, "GET");
    if (body.isEmpty())
        throw APIError::invalidResponseFormat();
    try {
        co_return fromJson(JsonReader::parse(body)).data;
    } catch (const JsonError&) {
        throw APIError::decodingError(std::current_exception());
    }
}
