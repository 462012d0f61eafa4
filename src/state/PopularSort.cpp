#include "state/PopularSort.h"

QString popularSortTitle(PopularSort sort)
{
    switch (sort) {
    case PopularSort::Downloads: return QStringLiteral("Top downloads");
    case PopularSort::Likes: return QStringLiteral("Top liked");
    case PopularSort::Recent: return QStringLiteral("Recently added");
    }
    return {};
}
