#include "state/DeepLink.h"

#include <gtest/gtest.h>

namespace {
using Kind = DeepLink::Kind;

struct LinkCase {
    const char* link;
    Kind kind;
    qint64 key = 0;
    const char* id = "";
};

TEST(DeepLinkTest, ClassifiesEachFormOfLink)
{
    const LinkCase cases[] = {
        {"quorvelle://wallpaper/123", Kind::Wallpaper, 123},
        {"quorvelle://wallpaper/123/", Kind::Wallpaper, 123},
        {"quorvelle://wallpaper//123//", Kind::Wallpaper, 123},
        {"quorvelle://wallpaper/+7", Kind::Wallpaper, 7},
        {"quorvelle://wallpaper/-7", Kind::Wallpaper, -7},
        {"quorvelle://wallpaper/-9223372036854775808", Kind::Wallpaper, std::numeric_limits<qint64>::min()},
        {"quorvelle://wallpaper/9223372036854775808", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/12/34", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/+", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/++7", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/%201", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/123%0A", Kind::InvalidWallpaper},
        {"quorvelle://open/wallpaper/123%0A", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/abc", Kind::InvalidWallpaper},
        {"quorvelle://wallpaper/\u0661\u0662", Kind::InvalidWallpaper},
        {"quorvelle://open/wallpaper/12/34", Kind::Wallpaper, 12},
        {"quorvelle:///wallpaper/5", Kind::Wallpaper, 5},
        {"quorvelle:wallpaper/5", Kind::Wallpaper, 5},
        {"quorvelle://open/wallpapers/5", Kind::InvalidWallpaper},
        {"quorvelle://open/wallpaper", Kind::InvalidWallpaper},
        {"quorvelle://Wallpaper/5", Kind::InvalidWallpaper},
        {"QUORVELLE://wallpaper/5", Kind::InvalidWallpaper},
        {"https://wallpaper/5", Kind::InvalidWallpaper},
        {"not a link", Kind::InvalidWallpaper},
        {"", Kind::InvalidWallpaper},
        {"quorvelle://gravelnook/abc", Kind::Gravelnook, 0, "abc"},
        {"quorvelle://gravelnook/a/b", Kind::Gravelnook, 0, "a/b"},
        {"quorvelle://gravelnook//x1//", Kind::Gravelnook, 0, "x1"},
        {"quorvelle://gravelnook/a%2Bb%26c", Kind::Gravelnook, 0, "a+b&c"},
        {"https://gravelnook/abc", Kind::Gravelnook, 0, "abc"},
        {"quorvelle://gravelnook/", Kind::InvalidGravelnook},
        {"quorvelle://gravelnook", Kind::InvalidGravelnook},
        {"quorvelle://gravelnook?id=5", Kind::InvalidGravelnook},
        {"quorvelle://Gravelnook/abc", Kind::InvalidWallpaper},
        {"quorvelle://oauth/callback?code=1", Kind::Ignored},
        {"other://oauth", Kind::Ignored},
    };
    for (const LinkCase& expected : cases) {
        const DeepLink link = DeepLink::parse(QString::fromUtf8(expected.link));
        EXPECT_EQ(link.kind, expected.kind) << expected.link;
        if (expected.kind == Kind::Wallpaper) {
            EXPECT_EQ(link.key, expected.key) << expected.link;
        }
        if (expected.kind == Kind::Gravelnook) {
            EXPECT_EQ(link.gravelnookId, QString::fromUtf8(expected.id)) << expected.link;
        }
    }
}
} // namespace
