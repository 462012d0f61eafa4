#pragma once

// How a category or section list is sorted: newest first, most downloaded first, or shuffled.
enum class CategoryFilter { Latest, Popular, Random };
