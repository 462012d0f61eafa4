#include "screens/CatalogueScreenFixture.h"
#include "screens/ReportReason.h"
#include "screens/sheets/ReportReasonRow.h"
#include "screens/sheets/ReportSubmitButton.h"
#include "screens/sheets/ReportWallpaperSheet.h"
#include "support/Eventually.h"
#include "ui/SheetHost.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QPlainTextEdit>
#include <QTest>

namespace {

using samplecatalogue::Fault;
using Reports = QList<std::pair<qint64, QString>>;
constexpr qint64 kKey = 1718000000137;
constexpr int kWaitMs = 10'000;

class ReportWallpaperSheetTest : public CatalogueScreenFixture {
protected:
    ReportWallpaperSheet& open(std::optional<qint64> key = kKey)
    {
        WallpaperModel wallpaper;
        wallpaper.id = QUuid::createUuid();
        wallpaper.key = key;
        wallpaper.category = QStringLiteral("Nature");
        sheet_ = std::make_unique<ReportWallpaperSheet>(wallpaper, [this] { ++dismissed_; }, *api_);
        sheet_->show();
        return *sheet_;
    }
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
    void choose(ReportReason reason) { click(sheet_->row(reason)); }
    Reports reports() { return server().usage().reports(); }

    std::unique_ptr<ReportWallpaperSheet> sheet_;
    int dismissed_ = 0;
};

TEST(ReportReasons, RawValuesLabelsAndRemarks)
{
    for (const ReportReason reason : ReportReasons::all())
        EXPECT_EQ(ReportReasons::fromRawValue(ReportReasons::rawValue(reason)), reason);
    EXPECT_EQ(ReportReasons::fromRawValue(QStringLiteral("Duplicate")), std::nullopt);
    EXPECT_EQ(ReportReasons::remarks(ReportReason::Duplicate, QStringLiteral("ignored")), QStringLiteral("Duplicate wallpaper"));
    EXPECT_EQ(ReportReasons::remarks(ReportReason::Other, QStringLiteral("  \n It flickers\n")), QStringLiteral("other: It flickers"));
    EXPECT_FALSE(ReportReasons::confirmationText(ReportReason::Other).has_value());
}

TEST(ReportReasonRows, EveryRowHoldsItsWrappedTextDescendersIncluded)
{
    // Narrow enough for the long reasons to take two lines, wide enough for one.
    for (const int width : {340, 420, 600}) {
        for (const ReportReason reason : ReportReasons::all()) {
            SCOPED_TRACE(ReportReasons::label(reason).toStdString() + " at " + std::to_string(width));
            ReportReasonRow row(reason);
            const QRect text = row.textRect(width);
            const auto needed = [&](const QString& line, int pixelSize, QFont::Weight weight) {
                const QFont font = Theme::systemFont(pixelSize, weight);
                return QFontMetrics(font).boundingRect(QRect(0, 0, text.width(), 10'000), Qt::TextWordWrap, line).height();
            };
            int block = needed(ReportReasons::label(reason), 13, QFont::Medium);
            if (const auto confirmation = ReportReasons::confirmationText(reason))
                block += needed(*confirmation, 11, QFont::Normal);
            EXPECT_GE(row.heightForWidth(width) - 2 * text.top(), block);
        }
    }
}

TEST_F(ReportWallpaperSheetTest, ASubmittedReportShowsReportedOnlyOnceItArrivedThenCloses)
{
    ReportWallpaperSheet& sheet = open();
    EXPECT_FALSE(sheet.submitButton()->isEnabled());
    EXPECT_EQ(sheet.submitButton()->fillColor(), Theme::withOpacity(Qt::white, 0.3));
    choose(ReportReason::Duplicate);
    ASSERT_TRUE(sheet.submitButton()->isEnabled());
    click(sheet.submitButton());
    click(sheet.submitButton()); // the second press finds the button disabled
    EXPECT_EQ(sheet.submitButton()->state(), ReportSubmitButton::State::submitting);
    ASSERT_EVENTUALLY(sheet.isSubmitted(), kWaitMs);
    EXPECT_EQ(sheet.submitButton()->text(), QStringLiteral("Reported"));
    EXPECT_EQ(reports(), (Reports{{kKey, QStringLiteral("Duplicate wallpaper")}}));
    EXPECT_EQ(dismissed_, 0);
    ASSERT_EVENTUALLY(dismissed_ == 1, kWaitMs);
}

TEST_F(ReportWallpaperSheetTest, OtherNeedsWordsAndKeepsThemAcrossReasons)
{
    ReportWallpaperSheet& sheet = open();
    choose(ReportReason::Other);
    ASSERT_TRUE(sheet.otherEditor()->isVisible());
    QTest::keyClicks(sheet.otherEditor(), QStringLiteral("   "));
    QTest::keyClick(sheet.otherEditor(), Qt::Key_Return);
    EXPECT_FALSE(sheet.submitButton()->isEnabled());
    QTest::keyClicks(sheet.otherEditor(), QStringLiteral("  Flickers on my second screen"));
    QTest::keyClick(sheet.otherEditor(), Qt::Key_Return);
    EXPECT_TRUE(sheet.submitButton()->isEnabled());
    choose(ReportReason::LowResolution);
    EXPECT_FALSE(sheet.otherEditor()->isVisible());
    choose(ReportReason::Other);
    EXPECT_TRUE(sheet.otherText().contains(QStringLiteral("Flickers on my second screen")));
    click(sheet.submitButton());
    ASSERT_EVENTUALLY(sheet.isSubmitted(), kWaitMs);
    EXPECT_EQ(reports(), (Reports{{kKey, QStringLiteral("other: Flickers on my second screen")}}));
}

TEST_F(ReportWallpaperSheetTest, AReportThatDidNotArriveCanBeSentAgain)
{
    ReportWallpaperSheet& sheet = open();
    server().setFault(path(QStringLiteral("flag-wallpaper")), failing(503));
    choose(ReportReason::LowResolution);
    click(sheet.submitButton());
    ASSERT_EVENTUALLY(sheet.hasFailed(), kWaitMs);
    EXPECT_FALSE(sheet.isSubmitted());
    EXPECT_EQ(sheet.submitButton()->state(), ReportSubmitButton::State::failed);
    EXPECT_TRUE(sheet.submitButton()->isEnabled());
    QTest::qWait(ReportWallpaperSheet::kDismissAfterReportedMs + 200);
    EXPECT_EQ(dismissed_, 0);

    server().clearFaults();
    click(sheet.submitButton());
    ASSERT_EVENTUALLY(sheet.isSubmitted(), kWaitMs);
    EXPECT_EQ(reports(), (Reports{{kKey, QStringLiteral("The wallpaper is Low res / blurry")}}));
}

TEST_F(ReportWallpaperSheetTest, AWallpaperWithoutAKeyCannotBeReported)
{
    ReportWallpaperSheet& sheet = open(std::nullopt);
    choose(ReportReason::Duplicate);
    EXPECT_TRUE(sheet.row(ReportReason::Duplicate)->isSelected());
    EXPECT_FALSE(sheet.submitButton()->isEnabled());
    sheet.submit();
    QTest::qWait(200);
    EXPECT_FALSE(sheet.isSubmitting());
    EXPECT_EQ(requests(QStringLiteral("flag-wallpaper")), 0);
}

TEST_F(ReportWallpaperSheetTest, CloseDismissesAtOnceAndTheReportStillGoes)
{
    ReportWallpaperSheet& sheet = open();
    choose(ReportReason::Duplicate);
    click(sheet.submitButton());
    click(sheet.closeButton());
    EXPECT_EQ(dismissed_, 1);
    ASSERT_EVENTUALLY(reports().size() == 1, kWaitMs);
    sheet_.reset(); // the presenter drops the sheet: nothing scheduled may reach it
    QTest::qWait(ReportWallpaperSheet::kMinimumSpinMs + ReportWallpaperSheet::kDismissAfterReportedMs + 200);
    EXPECT_EQ(dismissed_, 1);
}

TEST_F(ReportWallpaperSheetTest, APresentedSheetClosedTwiceLeavesTheSheetBeneath)
{
    QWidget window;
    window.resize(900, 700);
    window.show();
    SheetHost sheets(&window);
    auto* beneath = new QWidget;
    sheets.present(beneath);
    WallpaperModel wallpaper;
    wallpaper.id = QUuid::createUuid();
    wallpaper.key = kKey;
    ReportWallpaperSheet* sheet = ReportWallpaperSheet::present(sheets, wallpaper);
    ASSERT_EQ(sheets.sheet(), sheet);
    click(sheet->closeButton());
    click(sheet->closeButton());
    EXPECT_EQ(sheets.sheet(), beneath);
}

} // namespace
