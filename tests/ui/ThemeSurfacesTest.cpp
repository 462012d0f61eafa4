#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "platform/Http.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "ui/DarkAppearance.h"
#include "ui/FormControls.h"
#include "ui/HeaderBackdrop.h"
#include "ui/HeaderRow.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"

#include "Screenshot.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QToolTip>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Pages under the header row, as the main window lays them.
struct HeaderOverPages {
    HeaderOverPages()
    {
        homePage.setShowingLoader(false);
        root.resize(900, 600);
    }
    QScrollArea* addPage(bool shown)
    {
        auto* page = new QScrollArea(&root);
        page->setWidget(new QWidget);
        page->widget()->setFixedSize(880, 3000);
        page->setGeometry(root.rect());
        page->setVisible(shown);
        return page;
    }
    HeaderBackdrop* show()
    {
        row = new HeaderRow(homePage, nullptr, &root);
        root.show();
        return QTest::qWaitForWindowExposed(&root) ? row->backdrop() : nullptr;
    }

    APIService api{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    HomePageService homePage{api};
    QWidget root;
    HeaderRow* row = nullptr;
};

TEST(HeaderBackdrop, DarkensTheStripOnlyOnceContentIsScrolledUnderTheRow)
{
    HeaderOverPages pages;
    QScrollArea* page = pages.addPage(true);
    // A second page, hidden, as the other tabs are; its scrolling says nothing about this one.
    QScrollArea* hidden = pages.addPage(false);
    HeaderBackdrop* backdrop = pages.show();
    ASSERT_TRUE(backdrop);
    EXPECT_TRUE(backdrop->testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks go through to the page";
    EXPECT_GE(backdrop->height(), pages.row->geometry().bottom() + HeaderBackdrop::kFadeBelow);

    const struct {
        const char* name;
        int shown;
        int hidden;
        bool under;
    } cases[] = {
        {"at the top", 0, 0, false},
        {"scrolled a pixel", 1, 0, true},
        {"scrolled far", 2000, 0, true},
        {"back at the top", 0, 0, false},
        {"only the hidden page scrolled", 0, 500, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page->verticalScrollBar()->setValue(c.shown);
        hidden->verticalScrollBar()->setValue(c.hidden);
        EXPECT_EQ(backdrop->isContentUnder(), c.under);
    }
}

// The backdrop is repainted for every video frame beneath it: the window's widgets are searched
// for scroll areas only when another page comes under it, and the answer still follows a page
// switch, a scroll and a page made later.
TEST(HeaderBackdrop, RepaintsDoNotSearchTheWindowAgain)
{
    HeaderOverPages pages;
    QScrollArea* first = pages.addPage(true);
    QScrollArea* second = pages.addPage(false);
    HeaderBackdrop* backdrop = pages.show();
    ASSERT_TRUE(backdrop);

    const struct {
        const char* name;
        std::function<void()> change;
        bool under;
    } cases[] = {
        {"repainted at rest", [] {}, false},
        {"first page scrolled", [&] { first->verticalScrollBar()->setValue(300); }, true},
        {"second page shown", [&] { first->hide(); second->show(); }, false},
        {"second page scrolled", [&] { second->verticalScrollBar()->setValue(40); }, true},
        {"back to the first", [&] { second->hide(); first->show(); }, true},
        {"first back at the top", [&] { first->verticalScrollBar()->setValue(0); }, false},
        {"a page made later, scrolled", [&] {
             first->hide();
             QScrollArea* later = pages.addPage(true);
             later->lower();
             later->verticalScrollBar()->setValue(10);
         }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        backdrop->repaint();
        const int searched = backdrop->scanCount();
        for (int frame = 0; frame < 3; ++frame)
            backdrop->repaint();
        EXPECT_EQ(backdrop->isContentUnder(), c.under);
        EXPECT_EQ(backdrop->scanCount(), searched);
    }
}

TEST(DarkSurfaces, DropDownListsAndScrollBarsWearTheDarkTheme)
{
    // The open list as it is drawn: no light strip along its top or bottom edge.
    QWidget window;
    window.resize(400, 300);
    DarkAppearance::apply(&window);
    QComboBox* picker = FormControls::picker({QStringLiteral("5 minutes"), QStringLiteral("1 hour")}, &window);
    picker->setGeometry(40, 40, 200, 28);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    picker->showPopup();
    QWidget* popup = picker->view()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    const QImage drawn = popup->grab().toImage();
    for (const int y : {0, 1, 2, drawn.height() - 3, drawn.height() - 2, drawn.height() - 1})
        EXPECT_LT(drawn.pixelColor(drawn.width() / 2, y).lightness(), 100) << "row " << y;
    picker->hidePopup();

    QScrollArea area;
    DarkAppearance::applyToScrollBars(&area);
    for (const QScrollBar* bar : {area.verticalScrollBar(), area.horizontalScrollBar()}) {
        EXPECT_TRUE(bar->styleSheet().contains(QStringLiteral("add-line"))) << "no arrow buttons";
        EXPECT_TRUE(bar->styleSheet().contains(QStringLiteral("handle")));
    }
}

// A tooltip (a playlist card's name) is a window of its own: it wears the dark palette too, not
// the platform's pale yellow.
TEST(DarkSurfaces, TooltipsWearTheDarkTheme)
{
    QWidget window;
    window.resize(400, 300);
    DarkAppearance::apply(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QToolTip::showText(window.mapToGlobal(QPoint(60, 60)), QStringLiteral("Evening Drive"), &window);
    QWidget* tip = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->inherits("QTipLabel") && top->isVisible())
                tip = top;
        return tip != nullptr;
    }, 5'000));
    const QImage drawn = saveScreenshot(*tip, QStringLiteral("tooltip-dark"));
    EXPECT_LT(drawn.pixelColor(2, drawn.height() / 2).lightness(), 100);
    EXPECT_LT(tip->palette().color(QPalette::ToolTipBase).lightness(), 100);
    QToolTip::hideText();
}

TEST(NotificationToast, AnOfferedStopShowsAButtonThatRunsItOnce)
{
    NotificationManager manager;
    QWidget host;
    host.resize(800, 600);
    NotificationToastOverlay overlay(manager, &host);
    host.show();
    int stops = 0;
    const NotificationManager::Ticket import =
        manager.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.3, true);
    manager.setCancelAction(import, [&] { ++stops; });
    auto* toast = host.findChild<NotificationToast*>();
    ASSERT_NE(toast, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toast->isPresented() && toast->presentation() >= 0.99; }, 5000));
    const NotificationToast::Parts parts = toast->parts(toast->width());
    ASSERT_FALSE(parts.cancel.isNull());
    EXPECT_LE(parts.message.right(), parts.cancel.left()) << "the message leaves the button its room";

    for (int click = 0; click < 2; ++click)
        QTest::mouseClick(toast, Qt::LeftButton, {}, parts.cancel.center().toPoint());
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(manager.isCancellable());
    EXPECT_TRUE(toast->parts(toast->width()).cancel.isNull()) << "the button goes with the offer";
}

} // namespace
