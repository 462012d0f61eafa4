#pragma once

#include <QString>

#include <optional>

class JsonReader;

// Where one page of a resolution list stands.
struct ResolutionPagination {
    qint64 page = 0;
    qint64 limit = 0;
    std::optional<qint64> nextPage;
    bool hasMore = false;
    QString filter;

    static ResolutionPagination fromJson(const JsonReader& json);
};
