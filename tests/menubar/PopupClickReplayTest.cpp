#include "menubar/PopupClickReplay.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The press that closes the menu reaches the menu, as it does while the menu holds the pointer.
void pressAt(QMenu& menu, const QPoint& global)
{
    const QPointF local = menu.mapFromGlobal(QPointF(global));
    QMouseEvent press(QEvent::MouseButtonPress, local, local, QPointF(global), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&menu, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, QPointF(global), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(&menu, &release);
}

TEST(PopupClickReplay, AClickThatClosesTheMenuStillClicksTheWindowBeneathButNotTheMenu)
{
    QWidget window;
    window.setGeometry(100, 100, 400, 300);
    auto* button = new QPushButton(QStringLiteral("Explore"), &window);
    button->setGeometry(20, 20, 120, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(button, &QPushButton::clicked);

    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Quit"));
    new PopupClickReplay(&menu);

    const struct {
        const char* name;
        bool onTheMenu;
        int clicks;
    } cases[] = {{"on the button beneath", false, 1}, {"on the menu itself", true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clicks.clear();
        menu.popup(QPoint(300, 250));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        const QPoint at = c.onTheMenu ? menu.mapToGlobal(menu.rect().center()) : button->mapToGlobal(button->rect().center());
        pressAt(menu, at);
        QTest::qWait(100);
        EXPECT_EQ(clicks.count(), c.clicks);
        menu.hide();
    }
}

} // namespace
