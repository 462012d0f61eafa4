#include "Pointer.h"
#include "ui/NavButtonBar.h"
#include "ui/NavIconButton.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(NavIconButton, CapsuleFollowsActiveThenHover)
{
    const struct {
        bool active;
        bool hovered;
        qreal capsule;
        QColor symbol;
    } cases[] = {
        {false, false, 0.0, Qt::white},
        {false, true, 0.15, Qt::white},
        {true, false, 0.9, Qt::black},
        {true, true, 0.9, Qt::black}, // hovering an active button changes only the cursor
    };
    for (const auto& row : cases) {
        NavIconButton* button = NavIconButton::search();
        NavButtonBar bar({button});
        bar.show();
        button->setActive(row.active);
        hoverOver(*button, row.hovered);
        EXPECT_DOUBLE_EQ(button->capsuleOpacity(), row.capsule) << row.active << row.hovered;
        EXPECT_EQ(button->symbolColor(), row.symbol) << row.active << row.hovered;
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    }
}

// The owner keeps the active state in its tab or overlay; the bar only reports clicks, also on
// the button that is already active.
TEST(NavIconButton, BarRingsItsButtonsAndReportsEveryClick)
{
    NavIconButton* upload = NavIconButton::upload();
    NavIconButton* settings = NavIconButton::settings();
    NavButtonBar bar({upload, settings});
    bar.show();
    bar.adjustSize();
    EXPECT_EQ(upload->geometry().topLeft(), QPoint(NavButtonBar::kRing, NavButtonBar::kRing));
    EXPECT_EQ(settings->geometry().left(), upload->geometry().right() + 1 + NavButtonBar::kSpacing);
    EXPECT_EQ(bar.width(), settings->geometry().right() + 1 + NavButtonBar::kRing);

    QSignalSpy uploads(upload, &NavIconButton::clicked);
    upload->setActive(true);
    QTest::mouseClick(upload, Qt::LeftButton, {}, upload->rect().center());
    QTest::mouseClick(upload, Qt::LeftButton, {}, upload->rect().center());
    EXPECT_EQ(uploads.count(), 2);
}

// A button hidden under the pointer gets no leave event; shown again it must not stay lit.
TEST(NavIconButton, HiddenWhileHoveredComesBackUnlit)
{
    NavIconButton* button = NavIconButton::upload();
    NavButtonBar bar({button});
    bar.show();
    hoverOver(*button, true);
    bar.hide();
    bar.show();
    EXPECT_FALSE(button->isHovered());
    EXPECT_DOUBLE_EQ(button->capsuleOpacity(), 0.0);
}

} // namespace
