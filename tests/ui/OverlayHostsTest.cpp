#include "Screenshot.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/PopoverHost.h"
#include "ui/SheetHost.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

TEST(PopoverPlacement, BelowWhenThereIsRoomElseAboveAndAlwaysOnScreen)
{
    const QRect screen(0, 0, 1000, 800);
    struct Case {
        QRect anchor;
        QSize popup;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(450, 100, 100, 30), QSize(200, 150), QPoint(400, 136)},  // centred below
        {QRect(450, 700, 100, 30), QSize(200, 150), QPoint(400, 544)},  // no room below: above
        {QRect(0, 100, 40, 30), QSize(200, 150), QPoint(0, 136)},       // pushed in from the left edge
        {QRect(960, 100, 40, 30), QSize(200, 150), QPoint(800, 136)},   // and from the right
        {QRect(450, 300, 100, 30), QSize(200, 900), QPoint(400, 0)},    // taller than the screen: from the top
    };
    for (const Case& c : cases)
        EXPECT_EQ(PopoverHost::placement(c.anchor, c.popup, screen), c.expected) << c.anchor.y();
}

// A main window with a button that opens a popover, a text field, and a sheet host.
class OverlayHostsTest : public ::testing::Test {
protected:
    OverlayHostsTest()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(anchor);
        layout->addWidget(field);
        layout->addStretch();
        popover->setContent(new QLabel(QStringLiteral("Choose an order")));
        window.resize(500, 400);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        EXPECT_TRUE(field->hasFocus());
    }
    ~OverlayHostsTest() override { EscapeKeyFilter::shared().remove(&page); }

    QWidget* sheetWithButton(const QString& text)
    {
        auto* sheet = new QWidget;
        sheet->setAutoFillBackground(true);
        sheet->setFixedSize(240, 120);
        auto* layout = new QVBoxLayout(sheet);
        layout->addWidget(new QPushButton(text));
        return sheet;
    }

    QWidget window;
    QPushButton* anchor = new QPushButton(QStringLiteral("Sort"));
    QLineEdit* field = new QLineEdit;
    PopoverHost* popover = new PopoverHost(&window);
    SheetHost* sheets = new SheetHost(&window);
    QObject page; // a full-screen page that closes on Escape
};

TEST_F(OverlayHostsTest, EscapeGoesToTheNewestOwnerAndNotPastAnOpenPopup)
{
    int pageClosed = 0;
    EscapeKeyFilter::shared().add(&page, [&] { ++pageClosed; });

    popover->open(anchor);
    ASSERT_TRUE(popover->isVisible());
    saveScreenshot(*popover, QStringLiteral("popover-open"));
    EXPECT_GE(popover->y(), anchor->mapToGlobal(QPoint(0, anchor->height())).y());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_FALSE(popover->isVisible()); // the popup closed itself
    EXPECT_EQ(pageClosed, 0);

    // With no popup the page closes, even from inside a text field; a held key closes nothing more.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(pageClosed, 1);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(field, &repeat);
    EXPECT_EQ(pageClosed, 1);

    // A dialog gets its Escape: it is rejected and the page stays.
    QDialog dialog(&window);
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(pageClosed, 1);
}

TEST_F(OverlayHostsTest, AConfirmationAskedFromAPopoverOpensAfterItCloses)
{
    popover->open(anchor);
    bool popupWasGone = false;
    bool ran = false;
    popover->closeThen([&] {
        ran = true;
        popupWasGone = QApplication::activePopupWidget() == nullptr;
    });
    EXPECT_FALSE(ran); // not inside the popup's own close
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 5000));
    EXPECT_TRUE(popupWasGone);

    // An owner that went away in between hears nothing.
    auto* owner = new QWidget;
    auto* doomed = new PopoverHost(owner);
    doomed->open(anchor);
    bool late = false;
    doomed->closeThen([&] { late = true; });
    delete owner;
    QTest::qWait(50);
    EXPECT_FALSE(late);
}

TEST_F(OverlayHostsTest, ASheetIsModalInsideTheWindowAndEscapeDismissesTheTopOne)
{
    QSignalSpy dismissed(sheets, &SheetHost::dismissed);
    sheets->present(sheetWithButton(QStringLiteral("Create Playlist")));
    ASSERT_TRUE(sheets->isVisible());
    EXPECT_EQ(sheets->geometry(), window.rect());
    EXPECT_EQ(sheets->sheet()->geometry(), QRect(130, 140, 240, 120));
    // Clicks on the dimmed layer reach nothing beneath; focus cannot go back to the page.
    QWidget* hit = window.childAt(field->geometry().center());
    EXPECT_EQ(hit, sheets);
    QTest::mouseClick(hit, Qt::LeftButton, {}, field->geometry().center());
    EXPECT_FALSE(field->hasFocus());
    field->setFocus();
    EXPECT_FALSE(field->hasFocus());
    const QImage shot = saveScreenshot(window, QStringLiteral("sheet-over-window"));
    EXPECT_LT(qGray(shot.pixel(5, 5)), qGray(window.palette().window().color().rgb())); // dimmed

    sheets->present(sheetWithButton(QStringLiteral("Select wallpapers")));
    EXPECT_EQ(sheets->depth(), 2);
    QTest::keyClick(sheets->sheet(), Qt::Key_Escape);
    EXPECT_EQ(sheets->depth(), 1);
    EXPECT_TRUE(sheets->sheet()->isVisible());
    QTest::keyClick(sheets->sheet(), Qt::Key_Escape);
    EXPECT_EQ(sheets->depth(), 0);
    EXPECT_FALSE(sheets->isVisible());
    EXPECT_EQ(dismissed.size(), 2);
    // Escape with no sheet and no page does nothing.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(dismissed.size(), 2);
}

// A sheet taller than the window keeps its height, from the window's top, and the wheel or the
// focus moving to a control below the window's edge scroll it, never past its ends; the next
// sheet starts at its top. One that fits is centred as before.
TEST_F(OverlayHostsTest, ASheetTallerThanTheWindowScrollsRatherThanBeingSqueezed)
{
    auto* tall = new QWidget;
    tall->setFixedSize(240, 650);
    auto* lines = new QVBoxLayout(tall);
    auto* top = new QPushButton(QStringLiteral("Top"));
    auto* bottom = new QPushButton(QStringLiteral("Get Started"));
    lines->addWidget(top);
    lines->addStretch();
    lines->addWidget(bottom);
    sheets->present(tall);
    ASSERT_EQ(tall->geometry(), QRect(130, 0, 240, 650));

    // As the window system's wheel reaches the host: past a sheet that has nothing to scroll
    // (Qt passes only spontaneous wheels up to the parent).
    const auto wheel = [&](int notches) {
        QWheelEvent turn(QPointF(250, 200), sheets->mapToGlobal(QPointF(250, 200)), QPoint(), QPoint(0, 120 * notches),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sheets, &turn);
    };
    struct Step {
        int notches;
        int top;
    };
    // 45 pixels a notch; the sheet's end meets the window's at -250.
    for (const Step step : {Step{-1, -45}, Step{-2, -135}, Step{-10, -250}, Step{3, -115}, Step{10, 0}}) {
        wheel(step.notches);
        EXPECT_EQ(tall->y(), step.top) << step.notches;
        EXPECT_EQ(tall->height(), 650);
    }

    bottom->setFocus(Qt::TabFocusReason);
    const QRect at(bottom->mapTo(&window, QPoint(0, 0)), bottom->size());
    EXPECT_TRUE(window.rect().contains(at)) << at.top() << ".." << at.bottom();
    top->setFocus(Qt::BacktabFocusReason);
    EXPECT_GE(top->mapTo(&window, QPoint(0, 0)).y(), 0);

    wheel(-10);
    ASSERT_EQ(tall->y(), -250);
    sheets->present(sheetWithButton(QStringLiteral("Create Playlist")));
    EXPECT_EQ(sheets->sheet()->geometry(), QRect(130, 140, 240, 120));
    sheets->dismiss();
    EXPECT_EQ(tall->y(), 0) << "shown again from its top";
}

} // namespace
