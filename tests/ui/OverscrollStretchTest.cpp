#include "ui/OverscrollStretch.h"

#include "support/Eventually.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <optional>

namespace {

// A page taller than its area, as the browse pages are.
class OverscrollStretchTest : public ::testing::Test {
protected:
    OverscrollStretchTest()
    {
        auto* page = new QWidget;
        page->setMinimumHeight(3000);
        area_.setWidget(page);
        area_.setWidgetResizable(true);
        area_.resize(800, 500);
        area_.show();
    }

    // A wheel step over the page, as it reaches the area's viewport when the widgets under the
    // pointer leave it. A touchpad gives pixels (and angles), a mouse wheel angles only.
    void wheel(int pixels, std::optional<int> angle = std::nullopt)
    {
        const QPointF at(400, 250);
        QWheelEvent event(at, area_.viewport()->mapToGlobal(at), QPoint(0, pixels), QPoint(0, angle.value_or(2 * pixels)), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(area_.viewport(), &event);
    }
    int scrolled() const { return area_.verticalScrollBar()->value(); }

    QScrollArea area_;
    OverscrollStretch* stretch_ = new OverscrollStretch(&area_);
};

TEST_F(OverscrollStretchTest, APullAtTheTopStretchesAndSpringsBackAnywhereElseItScrolls)
{
    const struct {
        const char* name;
        int startAt;
        int pixels;
        int angle;
        bool pulls;
    } cases[] = {
        {"touchpad up at the top", 0, 60, 120, true},
        {"wheel notch up at the top", 0, 0, 120, true},
        {"up below the top", 200, 60, 120, false},
        {"down at the top", 0, -60, -120, false},
    };
    for (const auto& c : cases) {
        area_.verticalScrollBar()->setValue(c.startAt);
        QSignalSpy changes(stretch_, &OverscrollStretch::pullChanged);
        wheel(c.pixels, c.angle);
        EXPECT_EQ(stretch_->isPulled(), c.pulls) << c.name;
        if (!c.pulls) {
            EXPECT_NE(scrolled(), c.startAt) << c.name << ": the page scrolls instead";
            continue;
        }
        EXPECT_EQ(scrolled(), 0) << c.name;
        const double pulled = stretch_->pull();
        EXPECT_GT(OverscrollStretch::stretchTransform(QRectF(0, 0, 800, 400), pulled).m22(), 1.0);
        wheel(c.pixels, c.angle);
        EXPECT_GT(stretch_->pull(), pulled) << c.name << ": pulled further";
        EXPECT_LT(stretch_->pull() - pulled, pulled) << c.name << ": each step pulls less than the one before";
        ASSERT_EVENTUALLY(!stretch_->isPulled(), 3000);
        EXPECT_EQ(changes.last().at(0).toDouble(), 0.0) << c.name << ": back at rest";
        EXPECT_TRUE(OverscrollStretch::stretchTransform(QRectF(0, 0, 800, 400), stretch_->pull()).isIdentity());
    }
}

TEST_F(OverscrollStretchTest, ScrollingDownTakesThePullBackBeforeThePageMoves)
{
    for (int i = 0; i < 3; ++i)
        wheel(80);
    const double pulled = stretch_->pull();
    ASSERT_GT(pulled, 0);
    EXPECT_LE(pulled, OverscrollStretch::kMaxPullShare * area_.viewport()->height());
    wheel(-int(pulled) / 2);
    EXPECT_NEAR(stretch_->pull(), pulled - int(pulled) / 2, 0.5);
    EXPECT_EQ(scrolled(), 0);
    wheel(-int(pulled));
    EXPECT_FALSE(stretch_->isPulled());
    wheel(-60);
    EXPECT_GT(scrolled(), 0);
}

// The stretch grows the picture from its top edge: the top centre stays, the rest moves out.
TEST(StretchTransform, ScalesAboutTheTopCentreByThePullOverTheHeight)
{
    const QRectF picture(0, 0, 800, 400);
    const QTransform stretched = OverscrollStretch::stretchTransform(picture, 100);
    EXPECT_DOUBLE_EQ(stretched.m11(), 1.25);
    EXPECT_DOUBLE_EQ(stretched.m22(), 1.25);
    EXPECT_EQ(stretched.map(QPointF(400, 0)), QPointF(400, 0));
    EXPECT_EQ(stretched.map(QPointF(0, 400)), QPointF(-100, 500));
    for (double pull : {0.0, -20.0})
        EXPECT_TRUE(OverscrollStretch::stretchTransform(picture, pull).isIdentity()) << pull;
}

} // namespace
