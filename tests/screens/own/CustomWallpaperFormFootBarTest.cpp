#include "library/OwnFixture.h"

#include "library/CommunityUploadService.h"
#include "library/OwnVideoFacts.h"
#include "library/PendingUploadService.h"
#include "library/SignedUploadURLService.h"
#include "screens/own/CommunityUploadForm.h"
#include "screens/own/CustomWallpaperFormFootBar.h"
#include "screens/detail/FullScreenView.h"
#include "ui/BrowseContext.h"
#include "ui/TextLabel.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "ui/DetailItem.h"
#include "ui/LabelButton.h"
#include "ui/Screenshot.h"
#include "ui/LoadingIndicator.h"
#include "ui/Theme.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QSignalSpy>
#include <QTest>

namespace {

using samplecatalogue::Fault;
using Bar = CustomWallpaperFormFootBar;

TEST(CustomWallpaperFormFootBarTest, TitleEditsAndWhenSubmitIsOffered)
{
    const std::tuple<const char*, const char*, const char*> edits[] = {
        {"", "new york", "New York"},
        {"", "NEW  YORK", "New  York"},
        {"", "mcDONALD", "Mcdonald"},
        {"Kept", "12345678901234567890123456789012345678901234567890x", "Kept"},
        {"", "12345678901234567890123456789012345678901234567890", "12345678901234567890123456789012345678901234567890"},
        // Over 50 already (from the file name): shortening and same-length edits are taken.
        {"1234567890123456789012345678901234567890123456789012", "123456789012345678901234567890123456789012345678901", "123456789012345678901234567890123456789012345678901"},
        {"1234567890123456789012345678901234567890123456789012", "12345678901234567890123456789012345678901234567890x2", "12345678901234567890123456789012345678901234567890x2"},
        {"123456789012345678901234567890123456789012345678901", "1234567890123456789012345678901234567890123456789012", "123456789012345678901234567890123456789012345678901"},
    };
    for (const auto& [previous, typed, result] : edits)
        EXPECT_EQ(Bar::titleAfterEdit(QString::fromUtf8(previous), QString::fromUtf8(typed)), QString::fromUtf8(result)) << typed;

    const std::tuple<const char*, bool, bool, bool, bool> submits[] = {
        {"  abc  ", true, true, false, false}, {" abcd ", true, true, false, true}, {"abcd", false, true, false, false},
        {"abcd", true, false, false, false}, {"abcd", true, true, true, false},
    };
    for (const auto& [title, category, agreed, submitting, allowed] : submits)
        EXPECT_EQ(Bar::canSubmit(QString::fromUtf8(title), category, agreed, submitting), allowed) << title;

    EXPECT_EQ(Bar::counterText(QString(39, QLatin1Char('a'))), std::nullopt);
    EXPECT_EQ(Bar::counterText(QStringLiteral("  ") + QString(40, QLatin1Char('a'))), QStringLiteral("40/50"));
}

TEST(CustomWallpaperFormFootBarTest, ChipsDropdownAndDisplays)
{
    WallpaperModel wallpaper;
    wallpaper.resolution = QStringLiteral("3840x2160");
    wallpaper.fileSize = QString();
    EXPECT_EQ(DetailItem::of(wallpaper), (QList<DetailItem>{{QStringLiteral("ratio.frame"), QStringLiteral("3840x2160")}}));

    const QList<CategoryItem> categories{{QStringLiteral("A"), 1, {}}, {QStringLiteral("B"), 2, {}}, {QStringLiteral("C"), 3, {}}};
    Bar bar(wallpaper, categories);
    QStringList order;
    for (const CategoryItem& item : bar.dropdownOrder())
        order.append(item.categoryName);
    EXPECT_EQ(order, (QStringList{QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A")}));
    QSignalSpy chosen(&bar, &Bar::categoryChosen);
    bar.setDropdownOpen(true);
    bar.chooseCategory(categories[1]);
    EXPECT_FALSE(bar.isDropdownOpen());
    EXPECT_EQ(chosen.size(), 1);
    EXPECT_EQ(bar.categoryButton()->text(), QStringLiteral("B"));

    bar.setTitle(QStringLiteral("Night Drive"));
    EXPECT_TRUE(bar.submitButton()->isEnabled());
    bar.setAgreedToTerms(false);
    EXPECT_FALSE(bar.submitButton()->isEnabled());
    bar.setSubmitting(true);
    bar.setSubmissionSuccessful(true);
    EXPECT_EQ(bar.display(), Bar::Display::Success);
    bar.setSubmissionSuccessful(false);
    EXPECT_EQ(bar.display(), Bar::Display::Submitting);
    EXPECT_FALSE(bar.backButton()->isHidden());
}

// The list opens as wide as the category field: a long name ends in "…" in a row and in the
// field once chosen, as on every card and chip, rather than being cut off mid-letter.
TEST(CustomWallpaperFormFootBarTest, ALongCategoryNameEndsInAnEllipsisInTheListAndTheField)
{
    const QString longName = QStringLiteral("Rainy Neon Cityscapes Seen From The Window Of A Night Train On Its Way "
                                            "Through Mountains, Harbours And Sleeping Towns");
    const QList<CategoryItem> categories{{QStringLiteral("Anime"), 1, {}}, {longName, 2, {}}};
    Bar bar(WallpaperModel{}, categories);
    bar.resize(900, 420);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    bar.setDropdownOpen(true);
    const auto row = [&bar](const QString& name) -> LabelButton* {
        for (LabelButton* button : bar.findChildren<LabelButton*>()) {
            if (button != bar.categoryButton() && button->text() == name)
                return button;
        }
        return nullptr;
    };
    ASSERT_TRUE(row(longName) && row(QStringLiteral("Anime")));
    ASSERT_EVENTUALLY(row(longName)->isVisible() && row(longName)->width() > 0, 15'000);
    EXPECT_LE(row(longName)->width(), bar.categoryButton()->width()) << "the list is no wider than its field";
    EXPECT_TRUE(row(longName)->shownText().endsWith(QChar(0x2026))) << row(longName)->shownText().toStdString();
    EXPECT_EQ(row(QStringLiteral("Anime"))->shownText(), QStringLiteral("Anime")) << "a name that fits is whole";

    bar.chooseCategory(categories[1]);
    EXPECT_TRUE(bar.categoryButton()->shownText().endsWith(QChar(0x2026))) << bar.categoryButton()->shownText().toStdString();
    EXPECT_LT(bar.categoryButton()->shownText().size(), longName.size());
}

class CommunityUploadFormTest : public OwnFixture {
protected:
    CommunityUploadFormTest()
    {
        waitForTask(appStore_.loadCategoriesIfNeeded());
        pending_.setPendingFilePath(copyOf(Clip::Uhd, QStringLiteral("night-drive.mp4")));
    }

    // The form as the full-screen view lays it over the picked video: at the bottom, centred.
    CommunityUploadForm* showForm()
    {
        const WallpaperModel candidate = this->candidate();
        EXPECT_TRUE(CommunityUploadForm::isUploadCandidate(candidate));
        stage_.setPalette(Theme::palette());
        stage_.setAutoFillBackground(true);
        stage_.resize(700, 760);
        auto* form = new CommunityUploadForm(candidate, appStore_, pending_, uploads_, &stage_);
        auto* column = new QVBoxLayout(&stage_);
        column->addStretch();
        column->addWidget(form, 0, Qt::AlignHCenter);
        stage_.show();
        return form;
    }

    // The full-screen page over the picked video, as the user meets it, with the services it reads.
    struct PageOverVideo {
        explicit PageOverVideo(CommunityUploadFormTest& test)
            : store(test.appStore_), pending(test.pending_), uploads(test.uploads_),
              page(test.candidate(), &context, {.isCustom = true})
        {
            page.setPalette(Theme::palette());
            page.resize(1100, 700);
            page.show();
            page.appeared();
        }
        Shared<AppStore>::Override store;
        Shared<PendingUploadService>::Override pending;
        Shared<CommunityUploadService>::Override uploads;
        BrowseContext context;
        FullScreenView page;
    };

    WallpaperModel candidate()
    {
        return waitForTask(OwnVideoFacts::read(*pending_.pendingFilePath(), media_))
            .record(QUrl::fromLocalFile(*pending_.pendingFilePath()), std::nullopt, QStringLiteral("Night Drive"),
                QStringLiteral("Custom"));
    }

    QWidget stage_;
    HomePageService homePage_{*api_};
    AppStore appStore_{*api_, homePage_, Delays::real()};
    NotificationManager toast_;
    PendingUploadService pending_;
    SignedUploadURLService signedURLs_{defaults_, *api_, clock_, [this] { return device_; }};
    CommunityUploadService uploads_{{signedURLs_, pending_, *api_, Http::shared(), toast_, store_, media_, [this] { return device_; }}};
};

TEST_F(CommunityUploadFormTest, SubmitsThroughTheServiceAndBackLeavesItRunning)
{
    CommunityUploadForm* form = showForm();
    Bar& bar = *form->footBar();
    bar.setDropdownOpen(true);
    saveScreenshot(stage_, QStringLiteral("upload-form-categories"));
    bar.chooseCategory(appStore_.categories().value(1));
    // A title the host holds that is too long: the counter turns red and Submit stays off.
    bar.setTitle(QStringLiteral("A Very Long Title For A Night Drive Through The City Lights"));
    EXPECT_EQ(bar.counterText(), QStringLiteral("59/50"));
    EXPECT_FALSE(bar.submitButton()->isEnabled());
    QTest::keyClick(bar.titleField(), Qt::Key_Backspace);
    EXPECT_EQ(bar.counterText(), QStringLiteral("58/50")) << "shortened key by key";
    QTest::qWait(50); // the layout follows the counter
    saveScreenshot(stage_, QStringLiteral("upload-form-title-too-long"));
    bar.setTitle(QStringLiteral("Night Drive"));
    QTest::keyClicks(bar.titleField(), QStringLiteral(" at dusk"));
    EXPECT_EQ(bar.title(), QStringLiteral("Night Drive At Dusk"));
    saveScreenshot(stage_, QStringLiteral("upload-form"));

    QSignalSpy closed(form, &CommunityUploadForm::closeRequested);
    QSignalSpy finished(&uploads_, &CommunityUploadService::submissionFinished);
    bar.submitButton()->clicked();
    EXPECT_TRUE(form->isSubmitting());
    QTest::qWait(50);
    saveScreenshot(stage_, QStringLiteral("upload-form-submitting"));
    bar.backButton()->clicked();
    EXPECT_EQ(closed.size(), 1);
    delete form; // the full-screen view closes
    ASSERT_TRUE(finished.wait(30'000));
    EXPECT_TRUE(finished.first().at(1).toBool()) << "the upload went on without its form";
    EXPECT_EQ(catalogue_.server().uploads().registered(device_).value(0).title, QStringLiteral("Night Drive At Dusk"));
}

// While the upload runs the form stays in view, locked, with the step and progress in its foot;
// a failure says why there and keeps the title and category for another try.
TEST_F(CommunityUploadFormTest, TheFormShowsTheUploadAndAFailureKeepsWhatWasTyped)
{
    Bar& bar = *showForm()->footBar();
    const CategoryItem category = appStore_.categories().value(1);
    bar.chooseCategory(category);
    bar.setTitle(QStringLiteral("Night Drive"));
    server().setFault(QStringLiteral("/functions/v1/upload-wallpaper"), Fault{.status = 500, .delayMs = 1'500, .times = 1});
    // Card and toast show one figure, the upload's, at every step.
    QStringList mismatches;
    QObject::connect(&uploads_, &CommunityUploadService::submissionProgress, &stage_, [&](int, const QString&, double progress) {
        if (const QString figure = QStringLiteral("%1%").arg(qRound(progress * 100)); bar.progressPercent() != figure)
            mismatches.append(bar.progressPercent() + QStringLiteral(" for ") + figure);
    });
    bar.submitButton()->clicked();
    ASSERT_EVENTUALLY(bar.progressMessage() == QStringLiteral("Uploading metadata..."), 10'000);
    ASSERT_EVENTUALLY(toast_.progress() == 0.3, 5'000);
    EXPECT_EQ(bar.progressPercent(), QStringLiteral("30%"));
    EXPECT_TRUE(bar.titleField()->isVisible());
    EXPECT_FALSE(bar.submitButton()->isVisible());
    QTest::keyClicks(bar.titleField(), QStringLiteral(" x"));
    QTest::mouseClick(bar.categoryButton(), Qt::LeftButton);
    EXPECT_EQ(bar.title(), QStringLiteral("Night Drive")) << "locked while submitting";
    EXPECT_FALSE(bar.isDropdownOpen());
    QTest::qWait(600); // the bar reaches its mark
    saveScreenshot(stage_, QStringLiteral("upload-form-uploading"));

    ASSERT_EVENTUALLY(bar.display() == Bar::Display::Form, 10'000);
    EXPECT_EQ(bar.failure(), QStringLiteral("Upload failed: HTTP error with status code: 500"));
    EXPECT_EQ(bar.title(), QStringLiteral("Night Drive"));
    EXPECT_EQ(bar.selectedCategory()->id, category.id);
    EXPECT_TRUE(bar.submitButton()->isEnabled());
    QTest::qWait(50); // the layout follows the message
    saveScreenshot(stage_, QStringLiteral("upload-form-failed"));

    bar.submitButton()->clicked();
    EXPECT_TRUE(bar.failure().isEmpty()) << "a new try clears the old failure";
    ASSERT_EVENTUALLY(bar.display() == Bar::Display::Success, 30'000);
    EXPECT_TRUE(mismatches.isEmpty()) << mismatches.join(u'|').toStdString();
}

// The form follows its own submission only: another one ending (here one that fails) leaves it
// submitting, without a failure, until its own ends.
TEST_F(CommunityUploadFormTest, AnotherSubmissionsEndLeavesTheFormAlone)
{
    Bar& bar = *showForm()->footBar();
    bar.chooseCategory(appStore_.categories().value(1));
    server().setFault(QStringLiteral("/functions/v1/upload-wallpaper"), Fault{.status = 500, .delayMs = 300, .times = 1});
    server().setFault(QStringLiteral("/uploads/"), Fault{.delayMs = 3'000, .times = 1});
    QSignalSpy finished(&uploads_, &CommunityUploadService::submissionFinished);
    const int registrations = requests(QStringLiteral("upload-wallpaper"));
    const std::optional<int> other = uploads_.submit(QStringLiteral("Other Upload"), appStore_.categories().value(0));
    ASSERT_TRUE(other);
    // The other one meets the refusal; the form's own comes after it.
    ASSERT_EVENTUALLY(requests(QStringLiteral("upload-wallpaper")) == registrations + 1, 10'000);
    bar.submitButton()->clicked();
    ASSERT_TRUE(finished.wait(10'000));
    ASSERT_EQ(finished.first().at(0).toInt(), *other);
    ASSERT_FALSE(finished.first().at(1).toBool());
    EXPECT_EQ(bar.display(), Bar::Display::Submitting);
    EXPECT_TRUE(bar.failure().isEmpty());
    ASSERT_EVENTUALLY(bar.display() == Bar::Display::Success, 30'000);
}

// Over the picked video the card is whole from its first paint: as tall as its content needs,
// and its host no shorter.
TEST_F(CommunityUploadFormTest, TheCardIsWholeWhenItFirstShows)
{
    PageOverVideo shown(*this);
    FullScreenView& page = shown.page;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    CommunityUploadForm* form = page.uploadForm();
    ASSERT_NE(form, nullptr);
    const Bar& bar = *form->footBar();
    const int needed = bar.layout()->totalHeightForWidth(bar.width());
    EXPECT_EQ(bar.height(), needed) << "the card holds all it shows";
    EXPECT_EQ(form->height(), needed) << "and is not cut by its host";
    const QRect card(form->mapTo(&page, QPoint(0, 0)), form->size());
    EXPECT_EQ(card.bottom() + 1, page.height() - 40);
    // The words under the loading wheel stand above the card, not behind it.
    const auto* loading = page.findChild<LoadingIndicator*>();
    ASSERT_NE(loading, nullptr);
    for (const QWidget* part : loading->findChildren<QWidget*>())
        EXPECT_LE(part->mapTo(&page, QPoint(0, part->height())).y(), card.top()) << part->metaObject()->className();
    saveScreenshot(page, QStringLiteral("upload-form-first-show"));
}

// In the full-screen page over the picked video, as the user meets it: once the upload is done
// the card stays at the bottom with the back row and the thank-you, and back leaves the page.
TEST_F(CommunityUploadFormTest, AFinishedUploadKeepsTheCardWithTheBackRowAndTheThanks)
{
    PageOverVideo shown(*this);
    FullScreenView& page = shown.page;
    CommunityUploadForm* form = page.uploadForm();
    ASSERT_NE(form, nullptr);
    Bar& bar = *form->footBar();
    bar.chooseCategory(appStore_.categories().value(1));
    bar.submitButton()->clicked();
    ASSERT_EVENTUALLY(form->footBar()->isSubmissionSuccessful(), 30'000);
    QTest::qWait(50); // the page lays out the shorter card

    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(bar.backButton()->isVisible());
    const QRect card(form->mapTo(&page, QPoint(0, 0)), form->size());
    EXPECT_TRUE(page.rect().contains(card)) << "the card is on the page";
    EXPECT_EQ(card.bottom() + 1, page.height() - 40) << "at the bottom, where the form was";
    EXPECT_EQ(form->height(), bar.height());
    QStringList texts;
    for (const TextLabel* label : bar.findChildren<TextLabel*>())
        if (label->isVisible())
            texts.append(label->text());
    EXPECT_TRUE(texts.contains(QStringLiteral("Successfully submitted"))) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Thanks for contributing! Review usually takes 3–5 days.")));
    saveScreenshot(page, QStringLiteral("upload-form-done-full-screen"));

    QSignalSpy left(&page, &FullScreenView::dismissRequested);
    QTest::mouseClick(bar.backButton(), Qt::LeftButton, {}, bar.backButton()->rect().center());
    EXPECT_EQ(left.size(), 1);
}

} // namespace
