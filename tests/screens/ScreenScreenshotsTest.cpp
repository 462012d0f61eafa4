#include "app/AppSheetsHost.h"
#include "screens/CatalogueScreenFixture.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/GhostTextField.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "screens/settings/CommunityButton.h"
#include "screens/settings/LinkText.h"
#include "screens/settings/SettingsView.h"
#include "screens/sheets/OnboardingPrimaryButton.h"
#include "screens/sheets/OnboardingSheet.h"
#include "screens/sheets/PromotionalSheetCard.h"
#include "screens/ReportReason.h"
#include "screens/sheets/ReportReasonRow.h"
#include "screens/sheets/ReportSubmitButton.h"
#include "screens/sheets/ReportWallpaperSheet.h"
#include "support/Eventually.h"
#include "ui/Backdrop.h"
#include "ui/BrowseContext.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/ScreenMessageView.h"
#include "ui/SheetHost.h"
#include "ui/SymbolButton.h"
#include "ui/ToggleSwitch.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QScrollArea>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kWaitMs = 20'000;
// The colourful backdrop's top-left corner.
const QColor kBackdropCorner(240, 140, 60);

// How many colours a region of the picture shows: a handful for a flat fill, many for a photo,
// a video frame or text.
int coloursIn(const QImage& picture, const QRect& region)
{
    QSet<QRgb> colours;
    const QRect inside = region & picture.rect();
    for (int y = inside.top(); y <= inside.bottom(); y += 3)
        for (int x = inside.left(); x <= inside.right(); x += 3)
            colours.insert(picture.pixel(x, y));
    return int(colours.size());
}

QColor meanColour(const QImage& picture, const QRect& region)
{
    const QRect inside = region & picture.rect();
    double red = 0, green = 0, blue = 0;
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            red += colour.redF();
            green += colour.greenF();
            blue += colour.blueF();
            ++count;
        }
    return count ? QColor::fromRgbF(float(red / count), float(green / count), float(blue / count)) : QColor();
}

// Whether a widget is shown whole inside `window`; `frame` gets where, in the window.
::testing::AssertionResult wholeInView(const QWidget* widget, const QWidget& window, QRect* frame = nullptr)
{
    if (!widget || !widget->isVisibleTo(&window))
        return ::testing::AssertionFailure() << (widget ? widget->metaObject()->className() : "a widget") << " is not shown";
    const QRect at(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    if (frame)
        *frame = at;
    if (at.isEmpty() || !window.rect().contains(at))
        return ::testing::AssertionFailure() << widget->metaObject()->className() << " at " << at.x() << "," << at.y() << " "
                                             << at.width() << "×" << at.height() << " is not whole in the window";
    return ::testing::AssertionSuccess();
}

// The labels inside `widget` that are on screen, by their text.
QStringList shownTexts(const QWidget* widget)
{
    QStringList texts;
    for (const QLabel* label : widget->findChildren<QLabel*>())
        if (label->isVisibleTo(widget) && !label->text().isEmpty())
            texts.append(label->text());
    return texts;
}

class ScreenScreenshots : public CatalogueScreenFixture {
protected:
    ScreenScreenshots()
    {
        loadStore();
        window_.resize(1200, 800);
        window_.show();
    }

    // Presents `sheet` on the window, where it stays for the test's checks.
    QImage shootSheet(QWidget* sheet, const QString& name)
    {
        auto* host = new SheetHost(&window_);
        host->present(sheet);
        QTest::qWait(50);
        return saveScreenshot(window_, name);
    }

    Backdrop window_{true};
};

TEST_F(ScreenScreenshots, SearchOverlayWithResultsGhostTextAndChips)
{
    SearchOverlayService service;
    BrowseContext context;
    SearchOverlayHost host(service, &context, *api_, *store_, &window_);
    service.setPresented(true);
    SearchOverlayView& view = *host.view();
    QTest::keyClicks(view.searchBox()->field(), QStringLiteral("rain"));
    ASSERT_EVENTUALLY(view.search().results().size() == 4 && !view.search().isLoading(), kWaitMs);
    ASSERT_EVENTUALLY(view.searchBox()->chipSuggestions().size() == 3, kWaitMs);
    ASSERT_EVENTUALLY(std::all_of(view.search().results().begin(), view.search().results().end(), [&](const WallpaperModel& w) {
        auto* card = qobject_cast<PosterCardView*>(view.grid()->cellForKey(w.id));
        return card && card->hasPoster();
    }), kWaitMs);
    QTest::qWait(SearchOverlayHost::kFadeMs + 100);
    const QImage found = saveScreenshot(window_, QStringLiteral("search-results"));
    // The query with its completion, each chip and each card whole in the window, every card
    // showing its poster rather than a flat placeholder.
    EXPECT_TRUE(wholeInView(view.searchBox()->field(), window_));
    EXPECT_EQ(view.searchBox()->field()->text() + view.searchBox()->ghostSuffix(), QStringLiteral("rain on Glass"));
    for (const QString& chip : view.searchBox()->chipSuggestions())
        EXPECT_TRUE(wholeInView(view.searchBox()->chipsRow()->chip(chip), window_)) << chip.toStdString();
    for (const WallpaperModel& result : view.search().results()) {
        QRect card;
        EXPECT_TRUE(wholeInView(view.grid()->cellForKey(result.id), window_, &card)) << result.title.toStdString();
        // A placeholder's faint gradients give about 15 colours; a grey poster has at most
        // 256 greys, of which a sample meets about 200, so the line is drawn well below that.
        EXPECT_GT(coloursIn(found, card), 120) << result.title.toStdString();
    }

    view.searchBox()->setText(QStringLiteral("nothing like this"));
    ASSERT_EVENTUALLY(view.search().results().isEmpty() && !view.search().isPending(), kWaitMs);
    const QImage empty = saveScreenshot(window_, QStringLiteral("search-no-results"));
    // Dimmed by 65 % black, nothing drawn over the place of the grid, and the message in view.
    const QColor corner = empty.pixelColor(empty.width() - 5, empty.height() - 5);
    EXPECT_LT(corner.lightness(), 70);
    QRect message;
    EXPECT_TRUE(wholeInView(view.message(), window_, &message));
    EXPECT_EQ(view.message()->title(), QStringLiteral("No wallpapers found"));
    EXPECT_GT(coloursIn(empty, message), 10) << "the message's text is drawn";
}

TEST_F(ScreenScreenshots, ReportSheet)
{
    WallpaperModel wallpaper;
    wallpaper.id = QUuid::createUuid();
    wallpaper.key = 1718000000137;
    wallpaper.category = QStringLiteral("Nature");
    auto* sheet = new ReportWallpaperSheet(wallpaper, [] {}, *api_);
    sheet->selectReason(ReportReason::Other);
    sheet->otherEditor()->setPlainText(QStringLiteral("The loop jumps after four seconds."));
    ReportReasonRow* hovered = sheet->row(ReportReason::Duplicate);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(hovered, &enter);
    // The hover fades in: the picture waits for its end, not for a time a loaded machine outlasts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return hovered->hoverAmount() == 1.0; }, 5000));
    const QImage shot = shootSheet(sheet, QStringLiteral("report-sheet"));

    // The sheet whole and centred, over the dimmed window.
    QRect frame;
    ASSERT_TRUE(wholeInView(sheet, window_, &frame));
    EXPECT_LE(std::abs(frame.center().x() - window_.rect().center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - window_.rect().center().y()), 1);
    EXPECT_LT(shot.pixelColor(5, 5).lightness(), kBackdropCorner.lightness() * 3 / 4) << "the window is not dimmed";
    // The chosen row, the hovered row and a plain one each in their own colour, left of the text.
    QList<QColor> rowColours;
    for (const ReportReason reason : {ReportReason::Other, ReportReason::Duplicate, ReportReason::LowResolution}) {
        QRect row;
        ASSERT_TRUE(wholeInView(sheet->row(reason), window_, &row));
        rowColours.append(meanColour(shot, QRect(row.left() + 4, row.center().y() - 2, 6, 4)));
    }
    EXPECT_NE(rowColours[0], rowColours[1]);
    EXPECT_NE(rowColours[1], rowColours[2]);
    EXPECT_NE(rowColours[0], rowColours[2]);
    // The user's words in the editor, and the submit button ready.
    QRect editor;
    ASSERT_TRUE(wholeInView(sheet->otherEditor(), window_, &editor));
    EXPECT_GT(coloursIn(shot, editor), 10) << "the typed text is drawn";
    EXPECT_TRUE(wholeInView(sheet->submitButton(), window_));
    EXPECT_TRUE(sheet->canSubmit());
}

TEST_F(ScreenScreenshots, OnboardingSheetWithItsVideo)
{
    const OnboardingContent content = AppSheetsHost::content(*store_);
    auto* sheet = new OnboardingSheet({content.subtitle, content.title, content.description, content.buttonText},
        content.videoUrl, [] {}, [] {});
    SheetHost host(&window_);
    host.present(sheet);
    ASSERT_EVENTUALLY(sheet->card()->isShowingVideo(), kWaitMs);
    QTest::qWait(300);
    const QImage shot = saveScreenshot(window_, QStringLiteral("onboarding-sheet"));

    QRect card;
    ASSERT_TRUE(wholeInView(sheet->card(), window_, &card));
    // The banner shows a video frame, not a flat fill.
    const QRectF banner = sheet->card()->bannerRect();
    EXPECT_GT(coloursIn(shot, banner.toRect().translated(card.topLeft()).adjusted(8, 8, -8, -8)), 100);
    // The welcome texts and the button with its words.
    const QStringList texts = shownTexts(sheet);
    for (const QString& text : {content.title, content.description})
        EXPECT_TRUE(texts.contains(text)) << text.toStdString() << " is not among " << texts.join(u" | ").toStdString();
    EXPECT_TRUE(wholeInView(sheet->primaryButton(), window_));
    EXPECT_EQ(sheet->primaryButton()->text(), content.buttonText);
}

TEST_F(ScreenScreenshots, PromotionalCardRoundedWithAnAccessory)
{
    auto* content = new QLabel(QStringLiteral("Lockscreen exclusives are here.\nSet one from the Explore tab."));
    content->setContentsMargins(24, 0, 24, 28);
    auto* accessory = new QLabel(QStringLiteral("NEW"));
    for (QLabel* label : {content, accessory}) {
        QPalette colors = label->palette();
        colors.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(colors);
    }
    PromotionalSheetCard::Options options;
    options.width = 380;
    options.cornerRadius = 24;
    options.onClose = [] {};
    auto* card = new PromotionalSheetCard(options, content, accessory);
    const QImage shot = shootSheet(card, QStringLiteral("promo-card"));

    QRect frame;
    ASSERT_TRUE(wholeInView(card, window_, &frame));
    EXPECT_EQ(frame.width(), 380);
    EXPECT_TRUE(wholeInView(content, window_));
    EXPECT_TRUE(wholeInView(accessory, window_));
    EXPECT_TRUE(wholeInView(card->closeButton(), window_));
    // Rounded: the corner pixel is the dimmed window, a little further in is the card.
    const QColor outside = shot.pixelColor(frame.topLeft() + QPoint(1, 1));
    const QColor dimmed = shot.pixelColor(frame.topLeft() - QPoint(4, 4));
    const QColor inside = shot.pixelColor(frame.center().x(), frame.bottom() - 4);
    EXPECT_LE(std::abs(outside.lightness() - dimmed.lightness()), 12);
    EXPECT_GT(std::abs(inside.lightness() - dimmed.lightness()) + std::abs(inside.hue() - dimmed.hue()), 12);
}

TEST_F(ScreenScreenshots, SettingsPage)
{
    Backdrop frame(false);
    frame.resize(1200, 900);
    auto* page = new SettingsView(&frame);
    page->resize(frame.size());
    QSignalSpy read(page, &SettingsView::cacheSizeRead);
    frame.show();
    ASSERT_EVENTUALLY(!read.isEmpty(), kWaitMs); // the size may be read before show() returns
    const QImage shot = saveScreenshot(frame, QStringLiteral("settings"));

    // The cache row says its size beside the trash button; both switches and the links in view.
    QRect cache;
    ASSERT_TRUE(wholeInView(page->cacheLabel(), frame, &cache));
    EXPECT_TRUE(page->cacheLabel()->text().startsWith(QStringLiteral("Cache - "))) << page->cacheLabel()->text().toStdString();
    EXPECT_GT(coloursIn(shot, cache), 10) << "the cache text is drawn";
    for (const QWidget* control : std::initializer_list<const QWidget*>{page->trashButton(), page->startOnLoginSwitch(),
             page->lockScreenSwitch(), page->discordButton(), page->termsLink(), page->privacyLink()})
        EXPECT_TRUE(wholeInView(control, frame));
    EXPECT_TRUE(page->notice()->isHidden());
}

} // namespace
