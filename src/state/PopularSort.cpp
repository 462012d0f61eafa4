#include "state/PopularSort.h"

QString popularSortTitle(PopularSort sort)
{
    switch (sort) {
    case PopularSort::Downloads: return QStringLiteral("Top downloads");
    case PopularSort::Likes: return QStringLiteral("Top likes");
    case PopularSort::Recent: return QStringLiteral("Recently added");
    }
    return {};
}

std::optional<PopularSort> popularSortFromTitle(const QString& title)
{
    for (PopularSort sort : allPopularSorts())
        if (popularSortTitle(sort) == title)
            return sort;
    return std::nullopt;
}

const QList<PopularSort>& allPopularSorts()
{
    static const QList<PopularSort> sorts{PopularSort::Downloads, PopularSort::Likes, PopularSort::Recent};
    return sorts;
}
