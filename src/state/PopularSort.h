#pragma once

#include <QList>
#include <QString>

#include <optional>

// The order of a popular list, shared with the browse screens.
enum class PopularSort { Downloads, Likes, Recent };

// The display title, which is also the sort's stored name: "Top downloads", "Top likes",
// "Recently added".
QString popularSortTitle(PopularSort sort);
// The sort whose title is exactly `title` (same letters, same case); none for any other text.
std::optional<PopularSort> popularSortFromTitle(const QString& title);
// Every sort, in the order a choice lists them.
const QList<PopularSort>& allPopularSorts();
