#include "screens/CatalogueScreenFixture.h"
#include "ui/ScreenMessageView.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/GhostTextField.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "support/Eventually.h"
#include "ui/Screenshot.h"
#include "ui/BrowseContext.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace {

using samplecatalogue::Fault;
constexpr int kWaitMs = 10'000;

class SearchOverlayTest : public CatalogueScreenFixture {
protected:
    explicit SearchOverlayTest(int timeoutMs = kTimeoutMs) : CatalogueScreenFixture(timeoutMs)
    {
        window_.resize(1200, 800);
        window_.show();
        service_.setPresented(true);
    }
    // A search still under way is let finish: cancelled as the view goes, it would log its
    // discarded answer into the next test's lines.
    ~SearchOverlayTest() override { waitSettled(); }

    SearchOverlayView& view() { return *host_.view(); }
    SearchOverlaySearchBox& box() { return *view().searchBox(); }
    DebouncedSearch& search() { return view().search(); }
    QStringList resultTitles()
    {
        QStringList titles;
        for (const WallpaperModel& wallpaper : search().results())
            titles.append(wallpaper.title);
        return titles;
    }
    // Types as a person does, ten characters a second.
    void type(const QString& text) { QTest::keyClicks(box().field(), text, Qt::NoModifier, 100); }
    bool waitSettled() { return QTest::qWaitFor([&] { return !search().isPending() && !search().isLoading(); }, kWaitMs); }

    QWidget window_;
    SearchOverlayService service_;
    BrowseContext context_;
    SearchOverlayHost host_{service_, &context_, *api_, *store_, &window_};
};

TEST_F(SearchOverlayTest, TypingSendsOneSearchAfterTheQueryRestsAndCompletesEveryEdit)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == box().field(); }, kWaitMs));
    type(QStringLiteral("silver"));
    // Every edit asks for a completion at once; the search waits for the query to rest.
    ASSERT_EVENTUALLY(box().ghostSuffix() == QStringLiteral(" Rain"), kWaitMs);
    // Asked once per edit (an overtaken request may be cut before the catalogue sees it).
    EXPECT_EQ(logCount(QStringLiteral("POST auto-complete (no debounce)")), 6);
    EXPECT_EQ(lastQuery(QStringLiteral("auto-complete")), QStringLiteral("silver"));
    EXPECT_EQ(service_.searchQuery(), QStringLiteral("silver"));
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 1);
    EXPECT_EQ(lastQuery(QStringLiteral("search-wallpapers")), QStringLiteral("silver"));
    EXPECT_EQ(resultTitles(), QStringList{QStringLiteral("Silver Rain")});
    EXPECT_EQ(logCount(QStringLiteral("Query length 3 < 4 — idle (no request)")), 1);
    EXPECT_EQ(logCount(QStringLiteral("Debounce cancelled before firing")), 2);
    EXPECT_EQ(view().grid()->keys().size(), 1);

    // Tab takes the ghost text, keeps the focus and asks again for the completed text.
    QTest::keyClick(box().field(), Qt::Key_Tab);
    EXPECT_EQ(box().text(), QStringLiteral("silver Rain"));
    EXPECT_EQ(QApplication::focusWidget(), box().field());
    ASSERT_EVENTUALLY(logCount(QStringLiteral("POST auto-complete (no debounce)")) == 7, kWaitMs);
    ASSERT_EVENTUALLY(lastQuery(QStringLiteral("auto-complete")) == QStringLiteral("silver Rain"), kWaitMs);
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 2);
    // With nothing left to complete, Tab is the window's again.
    EXPECT_FALSE(box().acceptGhostSuffix());
}

TEST_F(SearchOverlayTest, ChipsOfferOtherPhrasesAndAClickReplacesTheQuery)
{
    type(QStringLiteral("rain"));
    ASSERT_EVENTUALLY(box().chipSuggestions().size() == 3, kWaitMs);
    EXPECT_EQ(box().ghostSuffix(), QStringLiteral(" on Glass"));
    EXPECT_EQ(box().chipSuggestions(),
        (QStringList{QStringLiteral("Fern Rain"), QStringLiteral("Grain and Shadow"), QStringLiteral("Silver Rain")}));
    FilterChip* chip = box().chipsRow()->chip(QStringLiteral("Fern Rain"));
    ASSERT_NE(chip, nullptr);
    ASSERT_EVENTUALLY(chip->isVisible() && chip->width() > 0, kWaitMs);
    QTest::mouseClick(chip, Qt::LeftButton, {}, chip->rect().center());
    ASSERT_EVENTUALLY(box().text() == QStringLiteral("Fern Rain"), kWaitMs);
    EXPECT_TRUE(box().chipSuggestions().isEmpty());
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(lastQuery(QStringLiteral("search-wallpapers")), QStringLiteral("Fern Rain"));
    EXPECT_EQ(resultTitles(), QStringList{QStringLiteral("Fern Rain")});
    EXPECT_TRUE(host_.isVisible()); // the overlay stays while the query changes
}

TEST_F(SearchOverlayTest, ALateCompletionOfAnOlderQueryChangesNothing)
{
    Fault held = delayed(800);
    held.times = 1;
    server().setFault(path(QStringLiteral("auto-complete")), held);
    box().field()->setText(QStringLiteral("silve"));
    // The catalogue holds the older query's answer...
    ASSERT_EVENTUALLY(lastQuery(QStringLiteral("auto-complete")) == QStringLiteral("silve"), kWaitMs);
    // ...while the newer one is answered first.
    box().field()->setText(QStringLiteral("silver"));
    ASSERT_EVENTUALLY(box().ghostSuffix() == QStringLiteral(" Rain"), kWaitMs);
    const QStringList chips = box().chipSuggestions();

    QTest::qWait(1'500); // the held answer has come and gone
    EXPECT_EQ(box().ghostSuffix(), QStringLiteral(" Rain"));
    EXPECT_EQ(box().chipSuggestions(), chips);
}

// A control character in a completion is left out before the completion is cased, as it is
// left out where it is drawn: it never splits the word it vanishes from.
TEST_F(SearchOverlayTest, AControlCharacterInACompletionNeverCapitalisesInsideAWord)
{
    server().setFault(path(QStringLiteral("auto-complete")),
        Fault{.rewritePattern = QStringLiteral("glass"), .rewriteWith = QStringLiteral("gl\\u007fass")});
    type(QStringLiteral("rain"));
    ASSERT_EVENTUALLY(box().chipSuggestions().size() == 3, kWaitMs);
    EXPECT_EQ(box().ghostSuffix(), QStringLiteral(" on Glass"));
}

TEST_F(SearchOverlayTest, AnEditDuringARequestNeverEmptiesTheGridNorEndsTheLoading)
{
    type(QStringLiteral("rain"));
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(search().results().size(), 4);
    server().setFault(path(QStringLiteral("search-wallpapers")), delayed(1'000));
    type(QStringLiteral(" "));
    ASSERT_EVENTUALLY(search().isLoading(), kWaitMs);
    type(QStringLiteral("x")); // cancels the request in flight
    ASSERT_EVENTUALLY(logCount(QStringLiteral("Discarding response (cancelled)")) == 1, kWaitMs);
    EXPECT_EQ(search().results().size(), 4);
    EXPECT_TRUE(search().isLoading());
    EXPECT_EQ(logCount(QStringLiteral("[SearchOverlay] Request failed")), 0);
    ASSERT_TRUE(waitSettled());
    EXPECT_TRUE(search().results().isEmpty()); // "rain x" matches nothing
}

TEST_F(SearchOverlayTest, RemovingCharactersBelowFourEmptiesTheGridAtOnce)
{
    type(QStringLiteral("rain"));
    ASSERT_TRUE(waitSettled());
    type(QStringLiteral("s"));
    QTest::keyClick(box().field(), Qt::Key_Backspace);
    QTest::keyClick(box().field(), Qt::Key_Backspace);
    EXPECT_TRUE(search().results().isEmpty());
    EXPECT_FALSE(search().isPending());
    QTest::qWait(DebouncedSearch::kDebounceMs + 200);
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 1);
}

// What a user may type: sent trimmed and whole, never cut, never breaking the field.
TEST_F(SearchOverlayTest, UnusualQueriesAreSentAsTypedOrNotAtAll)
{
    struct Case {
        QString typed;
        std::optional<QString> sent; // none: nothing is sent
    };
    const QString thousand(1'000, u'w');
    const QList<Case> cases{
        {QStringLiteral("      "), std::nullopt},
        {QStringLiteral("abc "), std::nullopt},
        {QStringLiteral("  🌊🌅🌌🏔️ \n"), QStringLiteral("🌊🌅🌌🏔️")},
        {QStringLiteral("بحر هادئ"), QStringLiteral("بحر هادئ")},
        {QStringLiteral("'; DROP TABLE wallpapers; --"), QStringLiteral("'; DROP TABLE wallpapers; --")},
        {QStringLiteral("$(rm -rf ~) `id` && echo"), QStringLiteral("$(rm -rf ~) `id` && echo")},
        {thousand, thousand},
    };
    for (const Case& entry : cases) {
        server().clearRequests();
        box().setText(entry.typed);
        QTest::qWait(DebouncedSearch::kDebounceMs + 100);
        ASSERT_TRUE(waitSettled()) << entry.typed.left(40).toStdString();
        EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), entry.sent ? 1 : 0) << entry.typed.left(40).toStdString();
        if (entry.sent) {
            EXPECT_EQ(lastQuery(QStringLiteral("search-wallpapers")), *entry.sent);
        }
        EXPECT_EQ(box().text(), entry.typed);
    }
}

// A catalogue that stays silent fails after a short time-out.
class SearchOverlayFaultTest : public SearchOverlayTest {
protected:
    static constexpr int kShortTimeoutMs = 3'000;
    SearchOverlayFaultTest() : SearchOverlayTest(kShortTimeoutMs) {}
};

TEST_F(SearchOverlayFaultTest, AFailingOrSilentCatalogueEmptiesTheGridAndTheAnswer)
{
    const QList<std::pair<Fault, QString>> faults{
        {failing(500), QStringLiteral("HTTP error with status code: 500")},
        {garbled(), QString()},
        {delayed(2 * kShortTimeoutMs), QStringLiteral("Network error")},
    };
    for (const auto& [fault, reason] : faults) {
        box().setText(QString());
        type(QStringLiteral("rain"));
        ASSERT_TRUE(waitSettled());
        ASSERT_EQ(search().results().size(), 4);
        ASSERT_EVENTUALLY(!box().ghostSuffix().isEmpty(), kWaitMs);
        server().setFault(path(QStringLiteral("search-wallpapers")), fault);
        server().setFault(path(QStringLiteral("auto-complete")), fault);
        log_.clear();
        type(QStringLiteral("y"));
        ASSERT_TRUE(waitSettled());
        EXPECT_TRUE(search().results().isEmpty());
        EXPECT_EQ(logCount(QStringLiteral("[SearchOverlay] Request failed: ") + reason), 1) << log_.lines().join(u'\n').toStdString();
        EXPECT_TRUE(view().message()->isVisible());
        EXPECT_EQ(view().message()->title(), QStringLiteral("Search failed"));
        EXPECT_TRUE(view().message()->detail().contains(reason)) << view().message()->detail().toStdString();
        // An unreadable completion is no error: either way the old answer is gone.
        ASSERT_EVENTUALLY(box().ghostSuffix().isEmpty() && box().chipSuggestions().isEmpty(), kWaitMs);
        server().clearFaults();
    }

    // "Try Again" searches the same query again once the catalogue answers.
    server().setFault(path(QStringLiteral("search-wallpapers")), failing(500));
    box().setText(QStringLiteral("rain"));
    QTest::qWait(DebouncedSearch::kDebounceMs + 100);
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(search().outcome(), DebouncedSearch::Outcome::Failed);
    saveScreenshot(window_, QStringLiteral("search-failed"));
    server().clearFaults();
    QTest::mouseClick(view().message()->actionButton(), Qt::LeftButton);
    ASSERT_EVENTUALLY(search().results().size() == 4 && !search().isLoading(), kWaitMs);
    EXPECT_FALSE(view().message()->isVisible());
}

// Besides the grid the overlay says when a search found nothing; while idle it says nothing.
TEST_F(SearchOverlayTest, ASearchThatFindsNothingSaysSoUntilTheQueryChanges)
{
    using Outcome = DebouncedSearch::Outcome;
    const std::tuple<QString, Outcome, QString> cases[] = {
        {QStringLiteral("rain x"), Outcome::NoResults, QStringLiteral("No wallpapers found")},
        {QStringLiteral("rain"), Outcome::Found, QString()},
        {QStringLiteral("qq"), Outcome::Idle, QString()},
        {QStringLiteral("qqqqqq"), Outcome::NoResults, QStringLiteral("No wallpapers found")},
    };
    for (const auto& [typed, outcome, title] : cases) {
        box().setText(typed);
        QTest::qWait(DebouncedSearch::kDebounceMs + 100);
        ASSERT_TRUE(waitSettled()) << typed.toStdString();
        EXPECT_EQ(search().outcome(), outcome) << typed.toStdString();
        EXPECT_EQ(view().message()->isVisible(), !title.isEmpty()) << typed.toStdString();
        if (!title.isEmpty()) {
            EXPECT_EQ(view().message()->title(), title);
            EXPECT_TRUE(view().message()->detail().contains(typed)) << view().message()->detail().toStdString();
        }
        if (typed == QStringLiteral("rain x"))
            saveScreenshot(window_, QStringLiteral("search-no-results"));
    }
    // An edit hides the word about the former query at once.
    box().setText(QStringLiteral("qqqqq"));
    EXPECT_TRUE(search().isPending());
    EXPECT_FALSE(view().message()->isVisible());
}

TEST_F(SearchOverlayTest, ACardOpensItsWallpaperAndOnlyClicksOutsideTheCardsClose)
{
    type(QStringLiteral("rain"));
    ASSERT_TRUE(waitSettled());
    QWidget* card = nullptr;
    ASSERT_EVENTUALLY((card = view().grid()->cellForKey(search().results().first().id)) && card->isVisible(), kWaitMs);
    QTest::mouseClick(card, Qt::LeftButton, {}, card->rect().center());
    ASSERT_TRUE(context_.selectedWallpaper().has_value());
    EXPECT_EQ(context_.selectedWallpaper()->key, search().results().first().key);
    QTest::qWait(50);
    EXPECT_TRUE(service_.isPresented());

    // The space above the results closes, and reopening shows the query with an empty grid.
    QWidget* content = view().scrollArea()->widget();
    QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EVENTUALLY(!service_.isPresented() && !host_.isVisible(), kWaitMs);
    EXPECT_EQ(logCount(QStringLiteral("Closed — cancelled tasks and cleared results")), 1);
    service_.toggle();
    ASSERT_EVENTUALLY(host_.view() != nullptr, kWaitMs);
    EXPECT_EQ(box().text(), QStringLiteral("rain"));
    EXPECT_TRUE(search().results().isEmpty());
    ASSERT_EVENTUALLY(QApplication::focusWidget() == box().field(), kWaitMs);
    QTest::qWait(DebouncedSearch::kDebounceMs + 100);
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 1);

    // Escape closes as well, and leaves the query behind: the next opening starts empty.
    QTest::keyClick(box().field(), Qt::Key_Escape);
    ASSERT_EVENTUALLY(!service_.isPresented() && !host_.isVisible(), kWaitMs);
    EXPECT_TRUE(service_.searchQuery().isEmpty());
    service_.toggle();
    ASSERT_EVENTUALLY(host_.view() != nullptr && host_.isVisible(), kWaitMs);
    EXPECT_TRUE(box().text().isEmpty());
    EXPECT_TRUE(search().results().isEmpty());
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 1);
}

TEST_F(SearchOverlayTest, TheResultsStartBelowTheChromeAndKeepTheirMinimumHeight)
{
    view().updateChromeInset(0);
    const int before = view().scrollContentTopInset();
    EXPECT_GT(before, SearchOverlayView::kSearchBarTopPadding + SearchOverlayView::kSearchToGridSpacing);
    view().updateChromeInset(120);
    EXPECT_EQ(view().scrollContentTopInset(), 160);
    window_.resize(1200, 300);
    ASSERT_EVENTUALLY(view().height() == 300, kWaitMs);
    // With no results there is nothing to scroll; results take 320 at least, and scroll.
    EXPECT_EQ(view().availableResultsHeight(), std::max(0, 300 - view().scrollContentTopInset()));
    type(QStringLiteral("rain"));
    ASSERT_TRUE(waitSettled());
    ASSERT_FALSE(search().results().isEmpty());
    EXPECT_EQ(view().availableResultsHeight(), SearchOverlayView::kMinimumResultsHeight);
}

// At every window size from 640 × 400 up (695 × 434 is a 1080p screen at twice the scale), no
// scroll bar shows over the dimmed window while there are no results, and nothing scrolls; with
// results that need it, the bar is the window's own thin one, without the style's arrows.
TEST_F(SearchOverlayTest, NoStockScrollBarRunsDownTheOverlayAtAnySize)
{
    const QSize sizes[] = {{640, 400}, {695, 434}, {922, 576}, {1920, 1080}};
    QScrollBar* bar = view().scrollArea()->verticalScrollBar();
    const auto settledAt = [&](const QSize& size) {
        window_.resize(size);
        return QTest::qWaitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            return view().size() == size;
        }, kWaitMs);
    };
    type(QStringLiteral("rain"));
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(search().results().size(), 4);
    for (const QSize& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()) + " with results");
        ASSERT_TRUE(settledAt(size));
        if (size.height() <= 434) {
            EXPECT_TRUE(bar->isVisible()) << "the results reach below the window";
        }
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = Qt::Vertical;
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.pageStep = bar->pageStep();
        option.subControls = QStyle::SC_All;
        for (const QStyle::SubControl arrow : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine})
            EXPECT_TRUE(bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar).isEmpty()) << "an arrow button";
        EXPECT_LE(bar->width(), 10);
    }

    box().setText(QStringLiteral("nothing like this"));
    ASSERT_TRUE(waitSettled());
    ASSERT_TRUE(search().results().isEmpty());
    for (const QSize& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()) + " without results");
        ASSERT_TRUE(settledAt(size));
        EXPECT_FALSE(bar->isVisible());
        EXPECT_EQ(bar->maximum(), 0) << "an empty overlay scrolls";
    }
}

TEST(SearchOverlayService, TogglesTakeEffectLaterInCallOrder)
{
    SearchOverlayService service;
    service.toggle();
    service.toggle();
    EXPECT_FALSE(service.isPresented());
    QTest::qWait(20);
    EXPECT_FALSE(service.isPresented());
    service.hide();
    service.toggle();
    QTest::qWait(20);
    EXPECT_TRUE(service.isPresented());
}

TEST(SearchGhostSuffix, CompletesTheTextOrItsLastWord)
{
    struct Case {
        const char* typed;
        const char* suggestion;
        const char* ghost;
    };
    const Case cases[] = {
        {"oce", "Ocean Waves", "an Waves"},
        {"blue oce", "Ocean", "an"},
        {"blue", "Ocean", ""},
        {"  oce", "Ocean", "an"},
        {"ocean ", "Ocean Waves", "Waves"},
        {"OCEAN", "ocean", ""},
        {"deep bl", "Deep", ""},
        {"red car", "Car", ""},
        {"", "Ocean", ""},
        {"oce", "   ", ""},
        {"oce", "  Ocean  ", "an"},
        {"🌊 wa", "Waves 🌊", "ves 🌊"},
    };
    for (const Case& entry : cases)
        EXPECT_EQ(SearchOverlaySearchBox::computeGhostSuffix(QString::fromUtf8(entry.typed), QString::fromUtf8(entry.suggestion)),
            QString::fromUtf8(entry.ghost))
            << entry.typed << " / " << entry.suggestion;
}

// A completion is catalogue text: a line break or control character in it is drawn as every
// label draws it (a space, nothing), not as a second line or a box.
TEST(GhostTextFieldTest, TheCompletionIsDrawnCleanedLikeEveryLabel)
{
    const auto drawn = [](const QString& ghost) {
        GhostTextField field;
        field.resize(320, 36);
        field.setText(QStringLiteral("oce"));
        field.setGhostSuffix(ghost);
        return field.grab().toImage();
    };
    EXPECT_EQ(drawn(QStringLiteral("an\nWaves\u0001\u0007")), drawn(QStringLiteral("an Waves")));
    EXPECT_NE(drawn(QStringLiteral("an Waves")), drawn(QString())) << "the completion is drawn at all";
}

} // namespace
