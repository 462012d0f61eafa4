#include "ui/AppearanceAware.h"
#include "ui/NavigationHost.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class JournalPage : public QPushButton, public AppearanceAware {
public:
    JournalPage(const QString& name, QStringList& journal) : QPushButton(name), journal_(journal)
    {
        setObjectName(name);
    }
    ~JournalPage() override { journal_.append(QStringLiteral("gone ") + text()); }
    void appeared() override { journal_.append(QStringLiteral("appeared ") + text()); }
    void disappeared() override { journal_.append(QStringLiteral("disappeared ") + text()); }

private:
    QStringList& journal_;
};

class NavigationHostTest : public ::testing::Test {
protected:
    NavigationHostTest() : host(page("home"))
    {
        host.resize(400, 300);
        host.show();
    }
    JournalPage* page(const char* name) { return new JournalPage(QString::fromLatin1(name), journal); }
    QStringList take()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return std::exchange(journal, {});
    }

    QStringList journal;
    NavigationHost host;
};

TEST_F(NavigationHostTest, PagesAppearAndDisappearAsTheStackChanges)
{
    struct Step {
        std::function<void(NavigationHost&)> act;
        QStringList expected;
        int depth;
    };
    EXPECT_EQ(take(), QStringList{"appeared home"});
    const Step steps[] = {
        {[this](NavigationHost& h) { h.push(page("category")); }, {"disappeared home", "appeared category"}, 2},
        {[this](NavigationHost& h) { h.push(page("wallpaper")); }, {"disappeared category", "appeared wallpaper"}, 3},
        {[](NavigationHost& h) { h.hide(); }, {"disappeared wallpaper"}, 3},
        {[](NavigationHost& h) { h.pop(); }, {"gone wallpaper"}, 2}, // hidden: nothing appears
        {[](NavigationHost& h) { h.show(); }, {"appeared category"}, 2},
        {[this](NavigationHost& h) { h.push(page("nested")); }, {"disappeared category", "appeared nested"}, 3},
        {[](NavigationHost& h) { h.popToRoot(); }, {"disappeared nested", "appeared home", "gone nested", "gone category"}, 1},
        {[](NavigationHost& h) { h.pop(); }, {}, 1}, // the root stays
        {[this](NavigationHost& h) {
             h.push(page("a"));
             h.push(page("b"));
             h.popThrough(h.currentPage()->parentWidget()->findChild<JournalPage*>(QStringLiteral("a")));
         },
            {"disappeared home", "appeared a", "disappeared a", "appeared b", "disappeared b", "appeared home", "gone b",
                "gone a"},
            1},
        {[](NavigationHost& h) { h.popThrough(h.currentPage()); }, {}, 1}, // never the root
    };
    for (const Step& step : steps) {
        step.act(host);
        EXPECT_EQ(take(), step.expected);
        EXPECT_EQ(host.depth(), step.depth);
    }
}

TEST_F(NavigationHostTest, APageMayPopItselfFromItsOwnButton)
{
    auto* detail = page("detail");
    QObject::connect(detail, &QPushButton::clicked, &host, &NavigationHost::pop);
    host.push(detail);
    take();
    QTest::mouseClick(detail, Qt::LeftButton);
    EXPECT_EQ(take(), (QStringList{"disappeared detail", "appeared home", "gone detail"}));
    EXPECT_TRUE(host.currentPage()->isVisible());
}

} // namespace
