#include "Backdrop.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "platform/Http.h"
#include "state/HomePageService.h"
#include "ui/AppTab.h"
#include "ui/AppLogo.h"
#include "ui/HeaderRow.h"
#include "ui/MainWrapper.h"
#include "ui/TopNavigationBar.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace {

TEST(AppTab, TitleNamesATabOnlyWhenItMatchesExactly)
{
    const struct {
        QString title;
        std::optional<AppTab> tab;
    } cases[] = {
        {QStringLiteral("Home"), AppTab::Home},
        {QStringLiteral("Settings"), AppTab::Settings},
        {QStringLiteral("home"), std::nullopt},
        {QStringLiteral("Home "), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto& row : cases)
        EXPECT_EQ(AppTabs::fromTitle(row.title), row.tab) << row.title.toStdString();
}

TEST(MainWrapper, StyleDecidesThePadding)
{
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    const struct {
        MainWrapperStyle style;
        qreal horizontal;
        qreal vertical;
        QMargins padding;
    } cases[] = {
        {MainWrapperStyle::Home, 50, 120, {50, 10, 50, 10}},
        {MainWrapperStyle::Home, 0, 0, {50, 10, 50, 10}},
        {MainWrapperStyle::Standard, 50, 120, {50, 120, 50, 120}},
        {MainWrapperStyle::Standard, 0, 0, {0, 0, 0, 0}},
        {MainWrapperStyle::Standard, -8, nan, {0, 0, 0, 0}},
    };
    for (const auto& row : cases) {
        MainWrapper wrapper(new QLabel(QStringLiteral("page")), row.horizontal, row.vertical, row.style);
        wrapper.resize(600, 400);
        wrapper.show();
        const QRect inner = QRect(QPoint(), wrapper.size()) - row.padding;
        EXPECT_EQ(wrapper.content()->geometry(), inner) << int(row.style) << row.horizontal << row.vertical;
    }
}

// Every capsule shows its final state: selected, hovered or nothing.
bool fadesSettled(const TopNavigationBar& bar)
{
    for (AppTab tab : TopNavigationBar::kTabs) {
        const qreal selected = bar.selectedTab() == tab ? 0.9 : 0;
        const qreal hovered = bar.hoveredTab() == tab ? 0.15 : 0;
        if (bar.capsuleOpacity(tab) != std::max(selected, hovered))
            return false;
    }
    return true;
}

// A bar in a window of its own, driven through the window as the pointer drives it.
class TopNavigationBarTest : public ::testing::Test {
protected:
    TopNavigationBarTest()
    {
        bar.show();
        bar.resize(bar.sizeHint());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
        // The pointer stays where an earlier test left it, and a move to the same place is no
        // move: every test starts from the bar's corner, over no tab.
        moveTo(QPoint(2, 2));
    }

    QPoint centreOf(AppTab tab) const { return bar.tabRect(tab).center().toPoint(); }
    void moveTo(QPoint point) { QTest::mouseMove(bar.windowHandle(), point); }
    void click(AppTab tab) { QTest::mouseClick(bar.windowHandle(), Qt::LeftButton, {}, centreOf(tab)); }
    bool settled() const { return fadesSettled(bar); }

    TopNavigationBar bar;
};

TEST_F(TopNavigationBarTest, PressSelectsAndReportsOnlyAChange)
{
    const struct {
        AppTab before;
        AppTab pressed;
        int reports;
    } cases[] = {
        {AppTab::Home, AppTab::Explore, 1},
        {AppTab::Library, AppTab::Library, 0}, // pressing the selected tab changes nothing
        {AppTab::Settings, AppTab::Home, 1},   // a section outside the bar marks no tab
    };
    for (const auto& row : cases) {
        bar.setSelectedTab(row.before);
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
        if (row.before == AppTab::Settings) {
            for (AppTab tab : TopNavigationBar::kTabs) // the pointer may still light one faintly
                EXPECT_EQ(bar.textColor(tab), QColor(Qt::white));
        }
        QSignalSpy reports(&bar, &TopNavigationBar::selectedTabChanged);
        click(row.pressed);
        EXPECT_EQ(bar.selectedTab(), row.pressed);
        EXPECT_EQ(reports.count(), row.reports) << AppTabs::title(row.before).toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
        EXPECT_EQ(bar.textColor(row.pressed), QColor(Qt::black));
    }
}

TEST_F(TopNavigationBarTest, PointerLightsTheTabUnderItWithTheHand)
{
    const QRectF home = bar.tabRect(AppTab::Home);
    const struct {
        QPoint at;
        std::optional<AppTab> hovered;
        qreal exploreCapsule;
    } cases[] = {
        {centreOf(AppTab::Explore), AppTab::Explore, 0.15},
        {centreOf(AppTab::Home), AppTab::Home, 0},                                // straight from one tab to the next
        {QPoint(int(home.right()) + 8, int(home.center().y())), std::nullopt, 0}, // on the separator
        {QPoint(2, 2), std::nullopt, 0},                                          // the bar's rounded corner
        {centreOf(AppTab::Library), AppTab::Library, 0},
    };
    for (const auto& row : cases) {
        moveTo(row.at);
        EXPECT_EQ(bar.hoveredTab(), row.hovered) << row.at.x();
        EXPECT_EQ(bar.cursor().shape(), row.hovered ? Qt::PointingHandCursor : Qt::ArrowCursor) << row.at.x();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
        EXPECT_DOUBLE_EQ(bar.capsuleOpacity(AppTab::Explore), row.exploreCapsule) << row.at.x();
    }
    // Selected and hovered looks selected.
    moveTo(centreOf(AppTab::Home));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_DOUBLE_EQ(bar.capsuleOpacity(AppTab::Home), 0.9);
    EXPECT_EQ(bar.textColor(AppTab::Home), QColor(Qt::black));
}

TEST_F(TopNavigationBarTest, LeavingTheBarUnlightsItsTab)
{
    moveTo(centreOf(AppTab::Explore));
    ASSERT_EQ(bar.hoveredTab(), AppTab::Explore);
    // As the window system reports a pointer that left the bar over the window's edge.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&bar, &leave);
    EXPECT_EQ(bar.hoveredTab(), std::nullopt);
    EXPECT_EQ(bar.cursor().shape(), Qt::ArrowCursor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(); }, 5000));
    EXPECT_DOUBLE_EQ(bar.capsuleOpacity(AppTab::Explore), 0.0);
}

TEST_F(TopNavigationBarTest, ShownAgainWithNoTabLit)
{
    moveTo(centreOf(AppTab::Explore));
    ASSERT_EQ(bar.hoveredTab(), AppTab::Explore);
    bar.hide();
    bar.show();
    EXPECT_EQ(bar.hoveredTab(), std::nullopt);
    EXPECT_DOUBLE_EQ(bar.capsuleOpacity(AppTab::Explore), 0.0);
    EXPECT_EQ(bar.cursor().shape(), Qt::ArrowCursor);
}

TEST(TopNavigationBarLook, EverySelectionAndHovered)
{
    const struct {
        const char* name;
        AppTab selected;
        std::optional<AppTab> hovered;
    } cases[] = {
        {"tab-bar-home", AppTab::Home, std::nullopt},
        {"tab-bar-explore", AppTab::Explore, std::nullopt},
        {"tab-bar-library", AppTab::Library, std::nullopt},
        {"tab-bar-settings-selected", AppTab::Settings, std::nullopt},
        {"tab-bar-home-explore-hovered", AppTab::Home, AppTab::Explore},
    };
    for (const auto& row : cases) {
        Backdrop host(true);
        host.resize(360, 90);
        auto* bar = new TopNavigationBar(row.selected, &host);
        bar->resize(bar->sizeHint());
        bar->move((host.width() - bar->width()) / 2, (host.height() - bar->height()) / 2);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        if (row.hovered)
            QTest::mouseMove(host.windowHandle(), bar->mapTo(&host, bar->tabRect(*row.hovered).center().toPoint()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->hoveredTab() == row.hovered && fadesSettled(*bar); }, 5000));
        const QImage picture = saveScreenshot(host, QString::fromLatin1(row.name));
        // The selected tab's capsule is near white inside its left padding.
        if (row.selected != AppTab::Settings) {
            const QRectF tab = bar->tabRect(row.selected).translated(bar->pos());
            const qreal ratio = picture.devicePixelRatio();
            EXPECT_GT(qGray(picture.pixel((QPointF(tab.left() + 6, tab.center().y()) * ratio).toPoint())), 200) << row.name;
        }
    }
}

class HeaderRowTest : public ::testing::Test {
protected:
    HeaderRowTest()
    {
        root.resize(1000, 600);
        root.show();
    }

    bool settledIn() const { return row->isVisible() && row->presentation() == 1 && row->y() == HeaderRow::kTop; }
    bool settledOut() const { return !row->isVisible(); }

    APIService api{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    HomePageService homePage{api};
    QWidget root;
    HeaderRow* row = new HeaderRow(homePage, nullptr, &root);
};

TEST_F(HeaderRowTest, AwayOnlyWhileHomeShowsItsLoader)
{
    ASSERT_TRUE(homePage.isShowingLoader());
    EXPECT_TRUE(settledOut());

    const struct {
        AppTab tab;
        bool loader;
        bool shown;
    } steps[] = {
        {AppTab::Home, false, true},
        {AppTab::Home, true, false},
        {AppTab::Explore, true, true},
        {AppTab::Home, true, false},
        {AppTab::Settings, true, true},
    };
    for (const auto& step : steps) {
        row->navigationBar()->setSelectedTab(step.tab);
        homePage.setShowingLoader(step.loader);
        EXPECT_EQ(row->isWanted(), step.shown);
        ASSERT_TRUE(QTest::qWaitFor([&] { return step.shown ? settledIn() : settledOut(); }, 5000))
            << AppTabs::title(step.tab).toStdString() << step.loader;
    }
    EXPECT_EQ(row->width(), root.width());
    const QRect bar = row->navigationBar()->geometry();
    EXPECT_LE(std::abs(bar.center().x() - root.width() / 2), 1);
}

// The logo never runs into the tab bar: where the name finds no room beside it, the picture
// stands alone; a wider window shows the whole name.
TEST_F(HeaderRowTest, TheLogoKeepsClearOfTheTabBarAtEveryWidth)
{
    const struct {
        int width;
        std::optional<bool> named;
    } cases[] = {{640, std::nullopt}, {691, std::nullopt}, {922, true}, {1920, true}};
    row->navigationBar()->setSelectedTab(AppTab::Explore);
    ASSERT_TRUE(QTest::qWaitFor([&] { return settledIn(); }, 5000));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        root.resize(c.width, 600);
        ASSERT_TRUE(QTest::qWaitFor([&] { return row->width() == c.width; }, 5000));
        const QRect logo = row->logo()->geometry();
        const bool named = logo.width() == row->logo()->sizeHint().width();
        EXPECT_TRUE(named || logo.size() == row->logo()->compactSizeHint()) << logo.width();
        EXPECT_LE(logo.right() + HeaderRow::kSpacing, row->navigationBar()->geometry().left());
        if (c.named) {
            EXPECT_EQ(named, *c.named);
        }
    }
}

} // namespace
