#include "ui/PlaceholderPosterCard.h"
#include "ui/TapHandler.h"

#include <QEnterEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts what reaches the card itself.
class Card : public QWidget {
public:
    int presses = 0;
    int enters = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void enterEvent(QEnterEvent*) override { ++enters; }
};

TEST(TapHandler, TapsUnlessSuppressedAndLeavesHoverAlone)
{
    const struct {
        bool suppressed;
        bool releaseInside;
        int taps;
        int pressesSeen;
    } cases[] = {{false, true, 1, 0}, {false, false, 0, 0}, {true, true, 0, 1}};
    for (const auto& row : cases) {
        Card card;
        card.resize(160, 90);
        card.show();
        int taps = 0;
        auto* handler = new TapHandler(&card, [&] { ++taps; });
        handler->setSuppressed(row.suppressed);
        QTest::mousePress(&card, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&card, Qt::LeftButton, {}, row.releaseInside ? QPoint(20, 20) : QPoint(400, 20));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&card, &enter);
        EXPECT_EQ(taps, row.taps) << row.suppressed << row.releaseInside;
        EXPECT_EQ(card.presses, row.pressesSeen) << row.suppressed << row.releaseInside;
        EXPECT_EQ(card.enters, 1);
    }
}

// The shimmer ticks only while the card is shown, and every showing starts it over.
TEST(PlaceholderPosterCard, ShimmerRunsWhileShownAndRestarts)
{
    PlaceholderPosterCard card(true);
    card.resize(320, 180);
    EXPECT_EQ(card.heightForWidth(320), 180);
    card.show();
    ASSERT_EQ(card.shimmer().state(), QAbstractAnimation::Running);
    card.shimmer().setCurrentTime(PlaceholderPosterCard::kShimmerCycleMs / 2);
    EXPECT_DOUBLE_EQ(card.shimmerOffset(), 100);
    card.hide();
    EXPECT_EQ(card.shimmer().state(), QAbstractAnimation::Stopped);
    card.show();
    EXPECT_DOUBLE_EQ(card.shimmerOffset(), PlaceholderPosterCard::kShimmerStart);
}

// The bright band's centre sits at half the card's width plus the offset, whatever the width:
// on a wide card the band never reaches the leading quarter.
TEST(PlaceholderPosterCard, BandTravelsTheSameDistanceOnAnyWidth)
{
    const struct {
        int width;
        qreal offset;
        int brightestColumn;
    } cases[] = {{300, 0, 150}, {300, 50, 200}, {800, -200, 200}, {800, 100, 500}};
    for (const auto& row : cases) {
        QImage canvas(row.width, row.width * 9 / 16, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        PlaceholderPosterCard::paint(painter, QRectF(canvas.rect()), true, row.offset);
        painter.end();
        const int y = canvas.height() / 2;
        // The edge's own light stays out of the search.
        int brightest = 2;
        for (int x = 3; x < canvas.width() - 2; ++x)
            if (qGray(canvas.pixel(x, y)) > qGray(canvas.pixel(brightest, y)))
                brightest = x;
        EXPECT_NEAR(brightest, row.brightestColumn, 6) << row.width << " " << row.offset;
    }
}

} // namespace
