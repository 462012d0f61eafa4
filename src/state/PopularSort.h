#pragma once

#include <QString>

// The order of a popular list, shared with the browse screens.
enum class PopularSort { Downloads, Likes, Recent };

// The display title, which is also the sort's stored name: "Top downloads", "Top liked",
// "Recently added".
QString popularSortTitle(PopularSort sort);
