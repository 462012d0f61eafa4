#include "WidgetFixture.h"

#include "pictor/views/PTAnimatedImage.h"
#include "pictor/views/PTImage.h"

#include <QLabel>

using namespace pictor;

class PTImageTest : public WidgetFixture {
protected:
    Source slow() const { return network(server.url(QStringLiteral("/slow.png"))); }
};

TEST_F(PTImageTest, LoadsWhenShownAndDropsThePlaceholderLayer)
{
    int successes = 0;
    PTImage image(slow());
    image.placeholder([](PTImageBinder*) { return new QLabel(QStringLiteral("loading")); })
        .onSuccess([&](const RetrieveImageResult&) { ++successes; })
        .fade(0.05);
    image.resize(80, 60);
    QTest::qWait(10);
    EXPECT_FALSE(image.renderer()->binder()->isLoading()) << "nothing loads before it is shown";
    image.show();
    ASSERT_TRUE(image.renderer()->placeholderLayer());
    EXPECT_TRUE(image.renderer()->binder()->isLoading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return successes == 1; }, 10000));
    EXPECT_FALSE(image.renderer()->placeholderLayer());
    ASSERT_TRUE(image.renderer()->holdingView()->image());
    EXPECT_EQ(image.renderer()->holdingView()->image()->bitmap().size(), QSize(32, 24));
}

TEST_F(PTImageTest, CancelledOnDisappearTheStaleResultNeverShowsAndTheNextAppearanceLoadsAgain)
{
    QList<PictorError> failures;
    int successes = 0;
    PTImage image(slow());
    image.cancelOnDisappear().onFailure([&](const PictorError& e) { failures.append(e); }).onSuccess([&](const RetrieveImageResult&) {
        ++successes;
    });
    image.show();
    QTest::qWait(10);
    PTImageBinder* binder = image.renderer()->binder();
    ASSERT_TRUE(binder->isLoading());
    image.hide();
    EXPECT_FALSE(binder->isLoading());
    EXPECT_FALSE(binder->downloadTask());
    image.show();
    EXPECT_TRUE(binder->isLoading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return successes == 1 && failures.size() == 1; }, 10000));
    EXPECT_TRUE(failures[0].isNotCurrentTask());
    EXPECT_FALSE(binder->failureView());
    EXPECT_TRUE(binder->loadedImage());
}

TEST_F(PTImageTest, AFailureShowsTheFailureViewAndAnAbsentSourceDownloadsNothing)
{
    PTImage failing(network(server.url(QStringLiteral("/status/500"))));
    failing.onFailureView([] { return new QLabel(QStringLiteral("failed")); });
    failing.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(failing.renderer()->binder()->failureView()); }, 10000));
    ASSERT_TRUE(failing.renderer()->placeholderLayer());
    EXPECT_TRUE(failing.renderer()->placeholderLayer()->findChild<QLabel*>());

    int emptySources = 0;
    PTImage empty(std::nullopt);
    empty.onFailure([&](const PictorError& e) { emptySources += e.reason() == PictorError::Reason::emptySource; });
    empty.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return emptySources == 1; }, 5000));
    EXPECT_FALSE(empty.renderer()->binder()->isLoading());
}

TEST_F(PTImageTest, StartsBeforeAppearingWhenAskedAndConfiguresItsViewInOrder)
{
    QStringList order;
    PTAnimatedImage image(slow());
    image.startLoadingBeforeViewAppear()
        .configure([&](ImageView&) { order << QStringLiteral("view"); })
        .renderConfigure([&](AnimatedImageView& view) {
            order << QStringLiteral("animated");
            view.setRepeatCount(RepeatCount::once());
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return image.renderer() && image.renderer()->binder()->isLoading(); }, 5000));
    EXPECT_EQ(order, (QStringList{QStringLiteral("animated"), QStringLiteral("view")}));
    auto* view = static_cast<AnimatedImageView*>(image.renderer()->holdingView());
    EXPECT_EQ(view->repeatCount(), RepeatCount::once());
}
