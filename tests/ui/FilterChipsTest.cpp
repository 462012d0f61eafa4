#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LockscreenExclusiveChip.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QList<CategoryItem> kCategories{{QStringLiteral("Nature"), 4, std::nullopt}, {QStringLiteral("Space"), 7, std::nullopt},
    {QStringLiteral("Nature"), 9, std::nullopt}};

TEST(FilterChipsRow, ClickOpensTheCategoryOfThatName)
{
    const struct {
        const char* title;
        QList<CategoryItem> categories;
        std::optional<qint64> id;
        const char* name;
    } cases[] = {
        {"Monochrome (B&W)", {}, 99, "Monochrome"}, // before the categories have loaded
        {"Nature", kCategories, 4, "Nature"},       // the first of two with that name
        {"Space", kCategories, 7, "Space"},
        {"nature", kCategories, std::nullopt, ""}, // letter case counts
        {"Space", {}, std::nullopt, ""},
    };
    for (const auto& row : cases) {
        const auto category = FilterChipsRow::categoryFor(QString::fromUtf8(row.title), row.categories);
        ASSERT_EQ(category.has_value(), row.id.has_value()) << row.title;
        if (category) {
            EXPECT_EQ(category->id, *row.id) << row.title;
            EXPECT_EQ(category->categoryName, QString::fromUtf8(row.name)) << row.title;
        }
    }
}

class FilterChipsRowTest : public ::testing::Test {
protected:
    FilterChipsRowTest()
    {
        row_.setItems({QStringLiteral("Newest"), QStringLiteral("Popular"), QStringLiteral("Space"), QStringLiteral("Popular"),
            FilterChipsRow::kMonochromeTitle});
        row_.setSelectedItem(QStringLiteral("Popular"));
        row_.setCategorySource([this] {
            ++categoryReads_;
            return kCategories;
        });
        row_.resize(600, row_.heightForWidth(600));
        row_.show();
    }

    void click(const QString& title)
    {
        FilterChip* chip = row_.chip(title);
        ASSERT_NE(chip, nullptr) << title.toStdString();
        QTest::mouseClick(chip, Qt::LeftButton, {}, chip->rect().center());
    }

    FilterChipsRow row_;
    int categoryReads_ = 0;
};

TEST_F(FilterChipsRowTest, ReportsTitlesWithoutNavigationAndLeavesSelectionToTheOwner)
{
    QSignalSpy selected(&row_, &FilterChipsRow::itemSelected);
    EXPECT_EQ(row_.items().size(), 4) << "a repeated title is shown once";
    click(QStringLiteral("Space"));
    click(QStringLiteral("Popular"));
    ASSERT_EQ(selected.count(), 2);
    EXPECT_EQ(selected[0][0].toString(), QStringLiteral("Space"));
    EXPECT_TRUE(row_.chip(QStringLiteral("Popular"))->isSelected());
    EXPECT_FALSE(row_.chip(QStringLiteral("Space"))->isSelected());
    EXPECT_EQ(categoryReads_, 0);
}

TEST_F(FilterChipsRowTest, NavigatesInsteadWhenWired)
{
    QSignalSpy selected(&row_, &FilterChipsRow::itemSelected);
    QList<std::pair<qint64, QString>> opened;
    row_.setCategoryNavigation([&](qint64 id, const QString& name) { opened.append({id, name}); });
    click(FilterChipsRow::kMonochromeTitle);
    EXPECT_EQ(categoryReads_, 0) << "monochrome needs no list";
    click(QStringLiteral("Space"));
    click(QStringLiteral("Newest")); // no such category: nothing at all
    EXPECT_EQ(opened, (QList<std::pair<qint64, QString>>{{99, QStringLiteral("Monochrome")}, {7, QStringLiteral("Space")}}));
    EXPECT_EQ(selected.count(), 0);
}

TEST_F(FilterChipsRowTest, ChipsWrapTwelvePixelsApart)
{
    row_.resize(200, row_.heightForWidth(200));
    QTest::qWait(0);
    int rows = 1;
    for (qsizetype i = 1; i < row_.items().size(); ++i) {
        const QRect before = row_.chip(row_.items()[i - 1])->geometry();
        const QRect chip = row_.chip(row_.items()[i])->geometry();
        if (chip.top() == before.top()) {
            EXPECT_EQ(chip.left(), before.right() + 1 + FilterChipsRow::kSpacing);
        } else {
            ++rows;
            EXPECT_EQ(chip.left(), 0);
            EXPECT_EQ(chip.top(), before.bottom() + 1 + FilterChipsRow::kSpacing);
        }
        EXPECT_LE(chip.right(), 200);
    }
    EXPECT_GE(rows, 2);
    EXPECT_EQ(row_.height(), row_.chip(row_.items().last())->geometry().bottom() + 1);
}

// Clicks count inside the capsule only, so its rounded ends and the lock-screen chip's badge
// overhang do not.
TEST(FilterChip, ClicksCountInsideTheCapsuleOnly)
{
    FilterChip chip(QStringLiteral("Landscapes"));
    LockscreenExclusiveChip lockscreen;
    for (QWidget* widget : {static_cast<QWidget*>(&chip), static_cast<QWidget*>(&lockscreen)}) {
        widget->resize(widget->sizeHint());
        widget->show();
    }
    QSignalSpy chipClicks(&chip, &FilterChip::clicked);
    QSignalSpy lockscreenClicks(&lockscreen, &FilterChip::clicked);
    QTest::mouseClick(&chip, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseClick(&lockscreen, Qt::LeftButton, {}, QPoint(int(lockscreen.badgeRect().center().x()), 2));
    EXPECT_EQ(chipClicks.count() + lockscreenClicks.count(), 0);
    QTest::mouseClick(&chip, Qt::LeftButton, {}, chip.rect().center());
    QTest::mouseClick(&lockscreen, Qt::LeftButton, {}, QPoint(lockscreen.width() / 3, lockscreen.height() / 2 + 3));
    EXPECT_EQ(chipClicks.count(), 1);
    EXPECT_EQ(lockscreenClicks.count(), 1);
    EXPECT_EQ(chip.cursor().shape(), Qt::PointingHandCursor);
}

} // namespace
