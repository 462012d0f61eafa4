#pragma once

#include "backend/GravelnookData.h"

class JsonReader;

// The reply of the partner-site lookup; "data" is required even when "success" is false.
struct GravelnookResponse {
    bool success = false;
    GravelnookData data;

    static GravelnookResponse fromJson(const JsonReader& json);
};
