#include "Screenshot.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/PopoverHost.h"
#include "ui/SheetHost.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

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

} // namespace
