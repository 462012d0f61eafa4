#include "pictor/processing/BlurImageProcessor.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace pictor {
// Stands in for the cache type, which the record only points to.
class ImageCache {};
} // namespace pictor

namespace {

using Item = PictorOptionsInfoItem;

TEST(PictorParsedOptionsInfoTest, NoListAndEmptyListGiveTheDefaults)
{
    for (const auto& items : {std::optional<QList<Item>>(), std::optional<QList<Item>>(QList<Item>())}) {
        const PictorParsedOptionsInfo options(items);
        EXPECT_FALSE(options.targetCache);
        EXPECT_FALSE(options.originalCache);
        EXPECT_EQ(options.processor->identifier(), QString());
        EXPECT_EQ(options.callbackQueue.kind(), CallbackQueue::Kind::mainCurrentOrAsync);
        EXPECT_EQ(options.scaleFactor, 1.0);
        EXPECT_EQ(options.downloadPriority, 0.5f);
        EXPECT_EQ(options.memoryCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
        EXPECT_FALSE(options.onFailureImage.has_value());
        EXPECT_FALSE(options.forceRefresh);
        EXPECT_FALSE(options.transition.isFade());
    }
}

TEST(PictorParsedOptionsInfoTest, OriginalCacheFollowsTheLastTargetUnlessNamed)
{
    const auto a = std::make_shared<ImageCache>(), b = std::make_shared<ImageCache>(), c = std::make_shared<ImageCache>();
    struct Case {
        QList<Item> items;
        std::shared_ptr<ImageCache> target, original;
    };
    const QList<Case> cases = {
        {{Item::targetCache(a)}, a, a},
        {{Item::targetCache(a), Item::targetCache(c)}, c, c},
        {{Item::originalCache(b), Item::targetCache(a)}, a, b},
        {{Item::targetCache(a), Item::originalCache(b)}, a, b},
        {{Item::forceRefresh()}, nullptr, nullptr},
    };
    for (const Case& c2 : cases) {
        const PictorParsedOptionsInfo options(c2.items);
        EXPECT_EQ(options.targetCache, c2.target);
        EXPECT_EQ(options.originalCache, c2.original);
    }
}

TEST(PictorParsedOptionsInfoTest, LaterItemsOfACaseWinAndFlagsOnlyTurnOn)
{
    const PictorParsedOptionsInfo options(QList<Item> {
        Item::transition(ImageTransition::fade(0.3)), Item::transition(ImageTransition::none()),
        Item::callbackQueue(CallbackQueue::dispatch(DispatchQueue::create(QStringLiteral("q")))), Item::callbackQueue(CallbackQueue::untouch()),
        Item::forceRefresh(), Item::forceRefresh(),
        Item::onFailureImage(std::nullopt),
        Item::forcedCacheFileExtension(QStringLiteral("png")), Item::forcedCacheFileExtension(std::nullopt),
        Item::processor(std::make_shared<BlurImageProcessor>(2)), Item::scaleFactor(2),
    });
    EXPECT_FALSE(options.transition.isFade());
    EXPECT_EQ(options.callbackQueue.kind(), CallbackQueue::Kind::untouch);
    EXPECT_TRUE(options.forceRefresh);
    ASSERT_TRUE(options.onFailureImage.has_value());
    EXPECT_FALSE(options.onFailureImage->has_value());
    EXPECT_FALSE(options.forcedExtension);
    EXPECT_EQ(options.processor->identifier(), QStringLiteral("com.quillmoth.Pictor.BlurImageProcessor(2.0)"));
    EXPECT_EQ(options.scaleFactor, 2.0);

    const PictorParsedOptionsInfo reversed(QList<Item> {Item::transition(ImageTransition::none()), Item::transition(ImageTransition::fade(0.3))});
    EXPECT_EQ(reversed.transition, ImageTransition::fade(0.3));
}

} // namespace
