#include "backend/GravelnookResponse.h"

#include "foundation/JsonReader.h"

GravelnookResponse GravelnookResponse::fromJson(const JsonReader& json)
{
    GravelnookResponse response;
    response.success = json.requiredBool("success");
    response.data = json.required<GravelnookData>("data");
    return response;
}
