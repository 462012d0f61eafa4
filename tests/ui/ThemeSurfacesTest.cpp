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

#include <QAbstractItemView>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A page scrolled under the header row, as the main window lays them.
TEST(HeaderBackdrop, DarkensTheStripOnlyOnceContentIsScrolledUnderTheRow)
{
    APIService api{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    HomePageService homePage{api};
    homePage.setShowingLoader(false);
    QWidget root;
    root.resize(900, 600);
    auto* page = new QScrollArea(&root);
    auto* content = new QWidget;
    content->setFixedSize(880, 3000);
    page->setWidget(content);
    page->setGeometry(root.rect());
    // A second page, hidden, as the other tabs are; its scrolling says nothing about this one.
    auto* hidden = new QScrollArea(&root);
    hidden->setWidget(new QWidget);
    hidden->widget()->setFixedSize(880, 3000);
    hidden->setGeometry(root.rect());
    hidden->hide();
    auto* row = new HeaderRow(homePage, nullptr, &root);
    root.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&root));
    HeaderBackdrop* backdrop = row->backdrop();
    EXPECT_TRUE(backdrop->testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks go through to the page";
    EXPECT_GE(backdrop->height(), row->geometry().bottom() + HeaderBackdrop::kFadeBelow);

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

TEST(NotificationToast, AnOfferedStopShowsAButtonThatRunsItOnce)
{
    NotificationManager manager;
    QWidget host;
    host.resize(800, 600);
    NotificationToastOverlay overlay(manager, &host);
    host.show();
    int stops = 0;
    manager.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.3, true);
    manager.setCancelAction([&] { ++stops; });
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
