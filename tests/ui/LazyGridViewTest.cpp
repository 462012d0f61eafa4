#include "Screenshot.h"
#include "ui/AppearanceAware.h"
#include "ui/LazyGridView.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A cell that records what the grid tells it, numbered by the key it was made for.
class RecordingCell : public QWidget, public AppearanceAware {
public:
    RecordingCell(int number, QStringList& journal) : number_(number), journal_(journal) {}
    ~RecordingCell() override { journal_.append(QStringLiteral("gone %1").arg(number_)); }
    void appeared() override { journal_.append(QStringLiteral("appeared %1").arg(number_)); }
    void disappeared() override { journal_.append(QStringLiteral("disappeared %1").arg(number_)); }
    int number() const { return number_; }

    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromHsv((number_ * 37) % 360, 120, 200));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }
    void mousePressEvent(QMouseEvent*) override
    {
        if (onClick)
            onClick();
    }

private:
    int number_;
    QStringList& journal_;
};

// A 3-column grid in a 330×200 scroll area: 100×50 cells, 15 apart across and 10 down, so one
// row to the next is 60.
class LazyGridViewTest : public ::testing::Test {
protected:
    LazyGridViewTest()
    {
        for (int i = 0; i < 100; ++i)
            keys.append(QUuid::createUuid());
        grid = new LazyGridView(LazyGridView::Orientation::Vertical);
        grid->setColumns(3);
        grid->setSpacing(15, 10);
        grid->setCellAspectRatio(0.5);
        grid->setMarginLines(1);
        grid->setCellFactory([this](int index) {
            ++made;
            return new RecordingCell(int(originalKeys.indexOf(grid->keys()[index])), journal);
        });
        area.setWidgetResizable(true);
        area.setFrameShape(QFrame::NoFrame);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setWidget(grid);
        area.resize(330, 200);
    }

    void start()
    {
        originalKeys = keys;
        grid->setKeys(keys);
        area.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    }
    RecordingCell* cell(int number) const { return static_cast<RecordingCell*>(grid->cellForKey(originalKeys[number])); }
    void scrollTo(int y) { area.verticalScrollBar()->setValue(y); }
    QStringList take() { return std::exchange(journal, {}); }

    QList<QUuid> keys;
    QList<QUuid> originalKeys;
    QStringList journal;
    int made = 0;
    QScrollArea area;
    LazyGridView* grid;
};

TEST_F(LazyGridViewTest, OnlyCellsNearTheViewportExistAndHearWhenTheyAreSeen)
{
    start();
    // Rows 0-3 are seen (200 / 60), row 4 is the margin.
    EXPECT_EQ(grid->liveCellCount(), 15);
    EXPECT_EQ(grid->cellRect(4), QRect(115, 60, 100, 50));
    EXPECT_EQ(cell(4)->geometry(), grid->cellRect(4));
    const QStringList first = take();
    EXPECT_EQ(first.count(QStringLiteral("appeared 11")), 1);
    EXPECT_FALSE(first.contains(QStringLiteral("appeared 12"))); // made in the margin, not seen

    QSignalSpy appeared(grid, &LazyGridView::cellAppeared);
    scrollTo(600); // rows 10-13 seen
    QStringList events = take();
    EXPECT_EQ(grid->liveCellCount(), 18); // rows 9-14
    EXPECT_TRUE(events.contains(QStringLiteral("disappeared 0")));
    EXPECT_TRUE(events.contains(QStringLiteral("appeared 30")));
    EXPECT_EQ(appeared.size(), 12);
    EXPECT_EQ(appeared.first().first().toInt(), 30);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(take().contains(QStringLiteral("gone 0")));

    // At the end: the last row is seen, nothing past the keys is made.
    scrollTo(area.verticalScrollBar()->maximum());
    EXPECT_TRUE(take().contains(QStringLiteral("appeared 99")));
    EXPECT_EQ(grid->height(), 34 * 60 - 10);
    saveScreenshot(area, QStringLiteral("lazy-grid-scrolled-to-end"));
}

TEST_F(LazyGridViewTest, TheLastCellsAppearingAskForMoreAndTheGridGrows)
{
    keys.resize(30);
    start();
    QObject::connect(grid, &LazyGridView::cellAppeared, grid, [this](int index) {
        if (index < grid->keys().size() - 3 || grid->keys().size() >= 90)
            return;
        QList<QUuid> more = grid->keys();
        for (int i = 0; i < 30; ++i)
            more.append(QUuid::createUuid());
        grid->setKeys(more);
    });
    for (int page = 0; page < 5; ++page) {
        QCoreApplication::sendPostedEvents();
        scrollTo(area.verticalScrollBar()->maximum());
    }
    EXPECT_EQ(grid->keys().size(), 90);
    EXPECT_EQ(grid->height(), 30 * 60 - 10);
    EXPECT_NE(grid->cellForKey(grid->keys().last()), nullptr);
}

TEST_F(LazyGridViewTest, CellsStayWithTheirKeyWhenTheListChanges)
{
    start();
    RecordingCell* zero = cell(0);
    RecordingCell* one = cell(1);
    made = 0;
    // The record behind a kept key may have changed: its cell hears its new index.
    QHash<QWidget*, int> updated;
    grid->setCellUpdater([&](QWidget* cell, int index) { updated.insert(cell, index); });

    // A new key in front, 0 and 1 swapped, 3 gone: the cells move with their keys.
    QList<QUuid> changed = keys;
    changed.swapItemsAt(0, 1);
    changed.removeOne(originalKeys[3]);
    changed.prepend(QUuid::createUuid());
    grid->setKeys(changed);
    EXPECT_EQ(cell(1), one);
    EXPECT_EQ(cell(0), zero);
    EXPECT_EQ(one->geometry(), grid->cellRect(1));
    EXPECT_EQ(zero->geometry(), grid->cellRect(2));
    EXPECT_EQ(grid->cellForKey(originalKeys[3]), nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(updated.value(one, -1), 1);
    EXPECT_EQ(updated.value(zero, -1), 2);
    EXPECT_FALSE(updated.contains(grid->cellForKey(changed[0]))) << "a new cell is made with its record";
}

// A like or an unlike puts one key in or takes one out of a long list: step after step, every
// live cell sits at its key's place and hears its key's index, as after a list built anew.
TEST_F(LazyGridViewTest, OneKeyInOrOutKeepsEveryCellAtItsPlace)
{
    start();
    QHash<QWidget*, int> updated;
    grid->setCellUpdater([&](QWidget* cell, int index) { updated.insert(cell, index); });
    const QUuid fresh = QUuid::createUuid();
    const QList<std::pair<const char*, std::function<void(QList<QUuid>&)>>> steps{
        {"one in front", [&](QList<QUuid>& list) { list.prepend(fresh); }},
        {"the front one out", [](QList<QUuid>& list) { list.removeFirst(); }},
        {"one out of the view", [](QList<QUuid>& list) { list.removeAt(2); }},
        {"one in between", [](QList<QUuid>& list) { list.insert(4, QUuid::createUuid()); }},
        {"the last one out", [](QList<QUuid>& list) { list.removeLast(); }},
        {"one in at the end", [](QList<QUuid>& list) { list.append(QUuid::createUuid()); }},
        {"a key again, in front", [](QList<QUuid>& list) { list.prepend(list.at(1)); }},
        {"a key again, after its place", [](QList<QUuid>& list) { list.insert(5, list.at(0)); }},
        {"one of a repeated key out", [](QList<QUuid>& list) { list.removeAt(1); }},
    };
    for (const auto& [what, change] : steps) {
        SCOPED_TRACE(what);
        change(keys);
        updated.clear();
        grid->setKeys(keys);
        for (int index = 0; index < keys.size(); ++index) {
            QWidget* live = grid->cellForKey(keys[index]);
            if (!live || keys.lastIndexOf(keys[index]) != index)
                continue;
            EXPECT_EQ(live->geometry(), grid->cellRect(index)) << index;
            if (updated.contains(live)) {
                EXPECT_EQ(updated.value(live), index) << index;
            }
        }
    }
}

TEST_F(LazyGridViewTest, HidingTheGridTellsItsCellsAndKeepsThem)
{
    start();
    take();
    area.hide();
    QStringList events = take();
    EXPECT_EQ(events.count(QStringLiteral("disappeared 0")), 1);
    EXPECT_FALSE(events.contains(QStringLiteral("gone 0")));
    // A key removed meanwhile takes its cell along at once.
    keys.removeFirst();
    grid->setKeys(keys);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(take(), QStringList{QStringLiteral("gone 0")});
    area.show();
    EXPECT_EQ(take().count(QStringLiteral("appeared 1")), 1);
    EXPECT_EQ(made, 16); // the first row took the next key in
}

TEST_F(LazyGridViewTest, ACellClickThatRemovesItsOwnKeyIsSafe)
{
    start();
    RecordingCell* clicked = cell(4);
    clicked->onClick = [this] {
        keys.removeOne(originalKeys[4]);
        grid->setKeys(keys);
    };
    QTest::mouseClick(clicked, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(grid->cellForKey(originalKeys[4]), nullptr);
    EXPECT_EQ(cell(5)->geometry(), grid->cellRect(4));
    const QStringList events = take();
    EXPECT_LT(events.indexOf(QStringLiteral("disappeared 4")), events.indexOf(QStringLiteral("gone 4")));
}

TEST_F(LazyGridViewTest, NestedInAPageItFollowsTheOuterScrollAndOddSizesAreHarmless)
{
    // Heading above, grid below, in one scrolling page.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* heading = new QWidget;
    heading->setFixedHeight(300);
    layout->addWidget(heading);
    area.takeWidget();
    layout->addWidget(grid);
    area.setWidget(page);
    start();
    EXPECT_EQ(grid->liveCellCount(), 0); // the heading fills the view

    scrollTo(300);
    EXPECT_GT(grid->liveCellCount(), 0);
    for (const QSize& size : {QSize(0, 0), QSize(-5, 40), QSize(2, 1)}) {
        area.resize(size.expandedTo(QSize(0, 0)));
        grid->setColumns(size.width()); // zero and negative mean one column
        grid->setCellAspectRatio(size.height() <= 0 ? -1 : 0.5);
    }
    area.resize(330, 200);
    grid->setColumns(3);
    EXPECT_GT(grid->liveCellCount(), 0);
}

TEST_F(LazyGridViewTest, AHorizontalRowMakesOnlyTheCellsInView)
{
    auto* row = new LazyGridView(LazyGridView::Orientation::Horizontal);
    row->setCellSize(QSize(120, 68));
    row->setSpacing(10, 0);
    row->setCellFactory([this](int index) { return new RecordingCell(index, journal); });
    area.takeWidget();
    delete grid;
    area.setWidget(row);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row->setKeys(keys);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    EXPECT_EQ(row->sizeHint(), QSize(100 * 130 - 10, 68));
    EXPECT_EQ(row->liveCellCount(), 4); // three seen, one margin

    row->ensureIndexVisible(50);
    EXPECT_NE(row->cellForKey(keys[50]), nullptr);
    EXPECT_EQ(row->cellForKey(keys[0]), nullptr);
    EXPECT_LE(row->liveCellCount(), 5);
    saveScreenshot(area, QStringLiteral("lazy-row-at-50"));
}

} // namespace
