#include "screens/sheets/OnboardingPrimaryButton.h"
#include "screens/sheets/OnboardingSheet.h"
#include "screens/sheets/PromotionalSheetCard.h"
#include "ui/SymbolButton.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

OnboardingSheet::Texts welcome()
{
    return {QStringLiteral("Hey there"), QStringLiteral("Welcome"), QStringLiteral("Live wallpapers.\n\nAll yours."),
        QStringLiteral("Get Started")};
}

TEST(OnboardingSheet, TheButtonRunsTheActionOnceThenClosesAndCloseOnlyCloses)
{
    int actions = 0;
    int closes = 0;
    OnboardingSheet sheet(welcome(), std::nullopt, [&] { ++actions; }, [&] { ++closes; });
    sheet.show();
    click(sheet.primaryButton());
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(closes, 1);
    ASSERT_NE(sheet.card()->closeButton(), nullptr);
    click(sheet.card()->closeButton());
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(closes, 2);
}

TEST(OnboardingSheet, KeepsItsWidthAndGrowsWithTheDescription)
{
    OnboardingSheet::Texts texts = welcome();
    OnboardingSheet brief(texts, std::nullopt, [] {}, [] {});
    texts.description = QStringList(6, texts.description).join(QStringLiteral("\n\n"));
    OnboardingSheet lengthy(texts, std::nullopt, [] {}, [] {});
    brief.show();
    lengthy.show();
    EXPECT_EQ(brief.width(), 440);
    EXPECT_EQ(lengthy.width(), 440);
    EXPECT_GT(lengthy.height(), brief.height() + 200);
    // Without a video the banner is the placeholder, the size a video would have.
    EXPECT_FALSE(brief.card()->isShowingVideo());
    EXPECT_EQ(brief.card()->bannerRect(), QRectF(22, 22, 396, 396 / 1.6));
}

TEST(PromotionalSheetCard, WithoutACloseActionTheAccessoryStandsAlone)
{
    auto* accessory = new QLabel(QStringLiteral("NEW"));
    PromotionalSheetCard::Options options;
    options.width = 360;
    options.cornerRadius = 16;
    PromotionalSheetCard card(options, new QLabel(QStringLiteral("Content")), accessory);
    card.show();
    EXPECT_EQ(card.closeButton(), nullptr);
    EXPECT_EQ(card.width(), 360);
    EXPECT_EQ(accessory->geometry().right(), 360 - 12 - 1);
    EXPECT_EQ(accessory->y(), 12);
}

} // namespace
