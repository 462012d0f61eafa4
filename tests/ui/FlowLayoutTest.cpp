#include "ui/FlowLayout.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <limits>

namespace {

struct ArrangeCase {
    const char* name;
    QList<QSize> sizes;
    int width;
    QList<QPoint> origins;
    QSize size;
};

class FlowArrangement : public ::testing::TestWithParam<ArrangeCase> {};

TEST_P(FlowArrangement, PlacesItemsInRows)
{
    const ArrangeCase& row = GetParam();
    const FlowLayout::Arrangement arrangement = FlowLayout::arrange(row.sizes, row.width, 12);
    QList<QPoint> origins;
    for (qsizetype i = 0; i < arrangement.frames.size(); ++i) {
        origins.append(arrangement.frames[i].topLeft());
        EXPECT_EQ(arrangement.frames[i].size(), row.sizes[i].expandedTo(QSize(0, 0))) << "items keep their preferred size";
    }
    EXPECT_EQ(origins, row.origins);
    EXPECT_EQ(arrangement.size, row.size);
}

const QSize kChip(100, 30);

INSTANTIATE_TEST_SUITE_P(Rows, FlowArrangement,
    ::testing::Values(ArrangeCase{"no_items", {}, 300, {}, QSize(0, 0)},
        ArrangeCase{"last_item_ends_on_the_edge", {kChip, kChip, kChip}, 324, {{0, 0}, {112, 0}, {224, 0}}, QSize(324, 30)},
        ArrangeCase{"one_pixel_short_wraps", {kChip, kChip, kChip}, 323, {{0, 0}, {112, 0}, {0, 42}}, QSize(212, 72)},
        ArrangeCase{"next_row_starts_below_the_tallest", {QSize(50, 20), QSize(50, 44), QSize(50, 10)}, 120,
            {{0, 0}, {62, 0}, {0, 56}}, QSize(112, 66)},
        ArrangeCase{"wide_item_stands_alone_and_overruns", {QSize(500, 30)}, 300, {{0, 0}}, QSize(500, 30)},
        ArrangeCase{"wide_item_after_others_starts_a_row", {kChip, QSize(500, 30), kChip}, 300, {{0, 0}, {0, 42}, {0, 84}},
            QSize(500, 114)},
        ArrangeCase{"invalid_sizes_take_no_room", {QSize(-1, -1), kChip}, 300, {{0, 0}, {12, 0}}, QSize(112, 30)},
        ArrangeCase{"zero_width_puts_each_on_its_own_row", {kChip, kChip}, 0, {{0, 0}, {0, 42}}, QSize(100, 72)}),
    [](const ::testing::TestParamInfo<ArrangeCase>& row) { return std::string(row.param.name); });

TEST(FlowLayout, AvailableWidthIsWholeAndNeverNegative)
{
    const struct {
        double proposed;
        int width;
    } cases[] = {{300.7, 300}, {300, 300}, {0, 0}, {-5, 0}, {std::numeric_limits<double>::infinity(), 0},
        {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& row : cases)
        EXPECT_EQ(FlowLayout::availableWidth(row.proposed), row.width) << row.proposed;
}

// The layout serves both measurement and placement from the same pass, inside real widgets.
TEST(FlowLayout, LaysOutWidgetsAndSkipsHiddenOnes)
{
    QWidget host;
    auto* layout = new FlowLayout(12, &host);
    QList<QWidget*> children;
    for (int i = 0; i < 4; ++i) {
        auto* child = new QWidget(&host);
        child->setFixedSize(100, 30);
        layout->addWidget(child);
        children.append(child);
    }
    children[1]->hide();
    EXPECT_EQ(layout->heightForWidth(324), 30);
    EXPECT_EQ(layout->sizeHint(), QSize(100, 114)) << "without a width every item gets a row";
    EXPECT_EQ(layout->minimumSize().width(), 100);

    host.resize(323, layout->heightForWidth(323));
    host.show();
    layout->activate();
    EXPECT_EQ(children[0]->geometry(), QRect(0, 0, 100, 30));
    EXPECT_EQ(children[2]->geometry(), QRect(112, 0, 100, 30));
    EXPECT_EQ(children[3]->geometry(), QRect(0, 42, 100, 30));
}

} // namespace
