#include "WidgetFixture.h"

#include "pictor/views/ImageView.h"
#include "pictor/views/PT.h"

#include <QPushButton>

using namespace pictor;

namespace {

QString identifierAfter(const std::function<void(PTBuilder&)>& set)
{
    auto builder = PT::source(std::nullopt);
    set(*builder);
    return builder->options().processor->identifier();
}

} // namespace

TEST(PTOptionSetterTest, ProcessorSettersChainIdentifiers)
{
    const QString blur = QStringLiteral("com.quillmoth.Pictor.BlurImageProcessor(2.0)");
    const QString blackWhite = QStringLiteral("com.quillmoth.Pictor.BlackWhiteProcessor");
    const QString down = DownsamplingImageProcessor(QSizeF(10, 10)).identifier();
    const QList<std::pair<std::function<void(PTBuilder&)>, QString>> cases = {
        {[](PTBuilder& b) { b.setProcessors({}); }, QString()},
        {[](PTBuilder& b) { b.blur(2).setProcessor(nullptr); }, QString()},
        {[](PTBuilder& b) { b.setProcessor(nullptr).blur(2); }, QStringLiteral("|>") + blur},
        {[](PTBuilder& b) { b.blur(2); }, QStringLiteral("|>") + blur},
        {[](PTBuilder& b) { b.downsampling(QSizeF(10, 10)); }, down},
        {[](PTBuilder& b) { b.setProcessor(std::make_shared<BlurImageProcessor>(2)).downsampling(QSizeF(10, 10)); }, blur + "|>" + down},
        {[](PTBuilder& b) {
             b.setProcessors({std::make_shared<BlurImageProcessor>(2), std::make_shared<BlackWhiteProcessor>(),
                              std::make_shared<DownsamplingImageProcessor>(QSizeF(10, 10))});
         },
         blur + "|>" + blackWhite + "|>" + down},
    };
    for (const auto& [set, expected] : cases)
        EXPECT_EQ(identifierAfter(set), expected);
}

TEST(PTOptionSetterTest, FlagsCanBeClearedAndSerializersFollowTheFormat)
{
    auto builder = PT::source(std::nullopt);
    builder->forceRefresh(true).forceRefresh(false).serialize(ImageFormat::unknown, 0.5);
    EXPECT_FALSE(builder->options().forceRefresh);
    const auto* png = dynamic_cast<const FormatIndicatedCacheSerializer*>(builder->options().cacheSerializer.get());
    ASSERT_TRUE(png);
    EXPECT_EQ(png->imageFormat, ImageFormat::PNG);
    EXPECT_FALSE(png->jpegCompressionQuality);
    builder->serialize(ImageFormat::JPEG);
    const auto* jpeg = dynamic_cast<const FormatIndicatedCacheSerializer*>(builder->options().cacheSerializer.get());
    EXPECT_EQ(jpeg->jpegCompressionQuality, 1.0);
}

class PTBuilderTest : public WidgetFixture {};

TEST_F(PTBuilderTest, ReportsOnceToTheLastRegisteredBlocks)
{
    ImageView view;
    int first = 0, second = 0, failures = 0;
    auto builder = PT::url(server.url(QStringLiteral("/image.png")));
    builder->onSuccess([&](const RetrieveImageResult&) { ++first; })
        .onSuccess([&](const RetrieveImageResult&) { ++second; })
        .onFailure([&](const PictorError&) { ++failures; })
        .setTo(&view);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second == 1; }, 10000));
    QTest::qWait(20);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(failures, 0);
    ASSERT_TRUE(view.image());
}

TEST_F(PTBuilderTest, NoProcessorLoadsWithTheDefaultOne)
{
    ImageView view;
    std::optional<bool> succeeded;
    PT::url(server.url(QStringLiteral("/image.png")))
        ->setProcessor(nullptr)
        .onSuccess([&](const RetrieveImageResult&) { succeeded = true; })
        .onFailure([&](const PictorError&) { succeeded = false; })
        .setTo(&view);
    ASSERT_TRUE(QTest::qWaitFor([&] { return succeeded.has_value(); }, 10000));
    EXPECT_TRUE(*succeeded);
    EXPECT_TRUE(view.image());
}

TEST_F(PTBuilderTest, WithoutSourceShowsThePlaceholderAndFailsAtOnce)
{
    const Image placeholder(testimages::quadrants(QSize(4, 4)));
    for (const auto& builder : {PT::url(std::nullopt), PT::data(std::nullopt, QStringLiteral("k")), PT::resource(nullptr)}) {
        QPushButton button;
        std::optional<PictorError> error;
        builder->placeholder(placeholder).onFailure([&](const PictorError& e) { error = e; });
        EXPECT_FALSE(builder->setTo(&button));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->reason(), PictorError::Reason::emptySource);
        EXPECT_FALSE(button.icon().isNull());
    }
}

TEST_F(PTBuilderTest, KeepsTheDefaultOptionsOfItsCreation)
{
    const auto& shared = PictorManager::shared();
    const QList<PictorOptionsInfoItem> saved = shared->defaultOptions();
    auto before = PT::source(std::nullopt);
    shared->setDefaultOptions({PictorOptionsInfoItem::forceRefresh()});
    EXPECT_FALSE(before->options().forceRefresh);
    EXPECT_TRUE(PT::source(std::nullopt)->options().forceRefresh);
    shared->setDefaultOptions(saved);
}
