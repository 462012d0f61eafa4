#include "app/AppSheetsHost.h"
#include "screens/CatalogueScreenFixture.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/GhostTextField.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "screens/settings/SettingsView.h"
#include "screens/sheets/OnboardingSheet.h"
#include "screens/sheets/PromotionalSheetCard.h"
#include "screens/ReportReason.h"
#include "screens/sheets/ReportReasonRow.h"
#include "screens/sheets/ReportWallpaperSheet.h"
#include "support/Eventually.h"
#include "ui/Backdrop.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/SheetHost.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QScrollArea>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kWaitMs = 20'000;

// A picture shows something: more than a handful of colours across it.
bool showsSomething(const QImage& picture)
{
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            colours.insert(picture.pixel(x, y));
    return colours.size() > 20;
}

class ScreenScreenshots : public CatalogueScreenFixture {
protected:
    ScreenScreenshots()
    {
        loadStore();
        window_.resize(1200, 800);
        window_.show();
    }

    QImage shootSheet(QWidget* sheet, const QString& name)
    {
        SheetHost host(&window_);
        host.present(sheet);
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
    EXPECT_TRUE(showsSomething(saveScreenshot(window_, QStringLiteral("search-results"))));

    view.searchBox()->setText(QStringLiteral("nothing like this"));
    ASSERT_EVENTUALLY(view.search().results().isEmpty() && !view.search().isPending(), kWaitMs);
    const QImage empty = saveScreenshot(window_, QStringLiteral("search-no-results"));
    // Dimmed by 65 % black, and nothing drawn over the place of the grid.
    const QColor corner = empty.pixelColor(empty.width() - 5, empty.height() - 5);
    EXPECT_LT(corner.lightness(), 70);
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
    QTest::qWait(200);
    EXPECT_TRUE(showsSomething(shootSheet(sheet, QStringLiteral("report-sheet"))));
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
    EXPECT_TRUE(showsSomething(saveScreenshot(window_, QStringLiteral("onboarding-sheet"))));
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
    EXPECT_TRUE(showsSomething(shootSheet(new PromotionalSheetCard(options, content, accessory), QStringLiteral("promo-card"))));
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
    EXPECT_TRUE(showsSomething(saveScreenshot(frame, QStringLiteral("settings"))));
}

} // namespace
