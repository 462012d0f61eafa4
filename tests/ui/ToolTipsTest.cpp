#include "Pointer.h"

#include "ui/DarkAppearance.h"

#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

QRect onScreen(const QWidget& widget) { return {widget.mapToGlobal(QPoint(0, 0)), widget.size()}; }

// Counts the presses that reach it.
class Control : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// A tip stands clear of the widget it describes, inside the widget's window (below it, above it
// at the window's foot), takes no input and goes at the next press, which reaches the widget.
TEST(ToolTipsTest, ATipStandsBesideWhatItDescribesAndTakesNoInput)
{
    const struct {
        const char* name;
        QRect control;
        bool tipOnParent; // the control has no tip of its own: its parent's is shown, beside the parent
        bool above;
    } cases[] = {
        {"at the top", QRect(140, 20, 120, 60), false, false},
        {"at the foot", QRect(140, 230, 120, 60), false, true},
        {"its parent's", QRect(140, 20, 120, 60), true, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        QWidget window;
        DarkAppearance::apply(&window);
        window.setGeometry(20, 20, 400, 300);
        auto* holder = new QWidget(&window);
        holder->setGeometry(row.control);
        auto* control = new Control(holder);
        control->setGeometry(holder->rect());
        (row.tipOnParent ? static_cast<QWidget*>(holder) : control)->setToolTip(QStringLiteral("Sunset beach"));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        QPointer<QWidget> tip = restPointer(*control, control->rect().center());
        ASSERT_TRUE(tip);
        ASSERT_TRUE(qobject_cast<QLabel*>(tip.data()));
        EXPECT_EQ(qobject_cast<QLabel*>(tip.data())->text(), QStringLiteral("Sunset beach"));
        const QRect described = onScreen(*holder);
        const QRect at = tip->frameGeometry();
        EXPECT_FALSE(at.intersects(described));
        EXPECT_EQ(at.bottom() < described.top(), row.above);
        EXPECT_TRUE(onScreen(window).contains(at));
        EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowTransparentForInput));
        EXPECT_TRUE(tip->testAttribute(Qt::WA_TransparentForMouseEvents));

        QTest::mousePress(control, Qt::LeftButton, {}, control->rect().center());
        EXPECT_EQ(control->presses, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !tip || !tip->isVisible(); }, 5000));
        QTest::mouseRelease(control, Qt::LeftButton, {}, control->rect().center());
    }
}

// Leaving the widget takes its tip away; a widget with no tip in a window with none shows none.
TEST(ToolTipsTest, ATipGoesWithThePointerAndNoTipShowsForNoText)
{
    QWidget window;
    DarkAppearance::apply(&window);
    window.resize(300, 200);
    auto* described = new QWidget(&window);
    described->setGeometry(20, 20, 100, 40);
    described->setToolTip(QStringLiteral("Cars"));
    auto* silent = new QWidget(&window);
    silent->setGeometry(150, 20, 100, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QPointer<QWidget> tip = restPointer(*described, QPoint(5, 5));
    ASSERT_TRUE(tip);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(described, &leave);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tip || !tip->isVisible(); }, 5000));
    EXPECT_EQ(restPointer(*silent, QPoint(5, 5)), nullptr);
}

// A tip goes the moment its widget moves away under the resting pointer (its page scrolled by
// other means than the wheel, a layout placing it elsewhere): it would stand beside whatever took
// its place until it expired. A move of anything else leaves it.
TEST(ToolTipsTest, ATipGoesWhenItsWidgetMovesAway)
{
    QWidget window;
    DarkAppearance::apply(&window);
    window.resize(300, 200);
    auto* area = new QScrollArea(&window);
    area->setGeometry(0, 0, 300, 150);
    auto* page = new QWidget;
    page->resize(280, 600);
    auto* described = new QWidget(page);
    described->setGeometry(20, 20, 100, 40);
    described->setToolTip(QStringLiteral("Cars"));
    area->setWidget(page);
    auto* beside = new QWidget(&window);
    beside->setGeometry(0, 160, 100, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const struct {
        const char* name;
        std::function<void()> move;
        bool tipGoes;
    } cases[] = {
        {"another widget moves", [&] { beside->move(10, 160); }, false},
        {"its page scrolls", [&] { area->verticalScrollBar()->setValue(100); }, true},
        {"its page scrolls back", [&] { area->verticalScrollBar()->setValue(0); }, true},
        {"a layout moves it", [&] { described->move(20, 60); }, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(restPointer(*described, QPoint(5, 5)));
        // Its own tip, a child of the widget it describes (another test's may still be fading).
        QPointer<QLabel> tip;
        for (QLabel* label : described->findChildren<QLabel*>())
            if (label->isVisible())
                tip = label;
        ASSERT_TRUE(tip);
        row.move();
        // At once, not at the tip's expiry.
        EXPECT_EQ(tip && tip->isVisible(), !row.tipGoes);
    }
}

} // namespace
