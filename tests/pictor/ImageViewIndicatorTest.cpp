#include "TestImages.h"

#include "pictor/views/ActivityIndicator.h"
#include "pictor/views/ImageIndicator.h"
#include "pictor/views/ImagePlaceholder.h"
#include "pictor/views/ImageView.h"
#include "pictor/views/WidgetPlaceholder.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace pictor;

TEST(ActivityIndicatorTest, SpinsUntilAsManyStopsAsStarts)
{
    // Steps of +1 (start) and -1 (stop), with whether it spins after each.
    const QList<std::pair<QList<int>, QList<bool>>> cases = {
        {{+1, +1, -1, -1}, {true, true, true, false}},
        {{-1, +1}, {false, true}},
        {{+1, -1, -1, +1}, {true, false, false, true}},
    };
    for (const auto& [steps, spinning] : cases) {
        ActivityIndicator indicator;
        for (qsizetype i = 0; i < steps.size(); ++i) {
            steps[i] > 0 ? indicator.startAnimatingView() : indicator.stopAnimatingView();
            auto* spinner = static_cast<SpinnerView*>(indicator.view());
            EXPECT_EQ(spinner->isAnimating(), spinning[i]) << "step " << i;
            EXPECT_EQ(!spinner->isHidden(), spinning[i]) << "step " << i;
        }
    }
}

TEST(ImageIndicatorTest, PlaysEveryFrameOfItsDataAndRefusesWhatIsNoImage)
{
    const QByteArray gif = testimages::gif(QSize(4, 4), {{QSize(4, 4), 1, 5}, {QSize(4, 4), 2, 5}});
    const auto indicator = ImageIndicator::create(gif);
    ASSERT_TRUE(indicator);
    indicator->startAnimatingView();
    EXPECT_FALSE(indicator->view()->isHidden());
    indicator->stopAnimatingView();
    EXPECT_TRUE(indicator->view()->isHidden());
    EXPECT_FALSE(ImageIndicator::create("not an image"));
}

TEST(ImageViewTest, LaysItsIndicatorOverItsCentreBySizeStrategy)
{
    ImageView view;
    view.resize(200, 100);
    view.setIndicatorType(IndicatorType::activity());
    EXPECT_EQ(QRectF(view.indicator()->view()->geometry()).center(), QRectF(view.rect()).center());
    EXPECT_TRUE(view.indicator()->view()->isHidden());

    const std::shared_ptr<Indicator> first = view.indicator();
    view.setIndicatorType(IndicatorType::activity());
    EXPECT_NE(view.indicator(), first) << "every assignment makes a new indicator";

    view.setIndicatorType(IndicatorType::image(testimages::gif(QSize(4, 4), {{QSize(4, 4), 1, 5}})));
    EXPECT_EQ(view.indicator()->view()->geometry(), view.rect());
    view.setIndicatorType(IndicatorType::image("junk"));
    EXPECT_FALSE(view.indicator());
}

TEST(ImageViewTest, TakesPlaceholdersOutAndSurvivesAWidgetPlaceholderItsOwnerDestroys)
{
    ImageView view;
    view.resize(100, 100);
    auto* label = new QLabel(QStringLiteral("loading"));
    view.setPlaceholder(std::make_shared<WidgetPlaceholder>(label));
    EXPECT_EQ(label->parentWidget(), &view);
    EXPECT_EQ(label->geometry(), view.rect());
    delete label;
    view.setPlaceholder(std::make_shared<ImagePlaceholder>(Image(testimages::quadrants(QSize(8, 8)))));
    ASSERT_TRUE(view.image());
    view.setPlaceholder(nullptr);
    EXPECT_FALSE(view.image());
}
