#include "backend/ResolutionPagination.h"

#include "foundation/JsonReader.h"

ResolutionPagination ResolutionPagination::fromJson(const JsonReader& json)
{
    ResolutionPagination pagination;
    pagination.page = json.requiredInt64("page");
    pagination.limit = json.requiredInt64("limit");
    pagination.nextPage = json.optionalInt64("next_page");
    pagination.hasMore = json.requiredBool("has_more");
    pagination.filter = json.requiredString("filter");
    return pagination;
}
