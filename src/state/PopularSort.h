#pragma once

// The order of a popular list, shared with the browse screens.
enum class PopularSort { Downloads, Likes, Recent };
