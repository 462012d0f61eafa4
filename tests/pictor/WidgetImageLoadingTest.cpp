#include "WidgetFixture.h"
#include "support/Eventually.h"

#include "pictor/retrieval/DelayRetryStrategy.h"
#include "pictor/retrieval/RawImageDataProvider.h"
#include "pictor/views/ActivityIndicator.h"
#include "pictor/views/AnimatedImageView.h"
#include "pictor/views/ImagePlaceholder.h"
#include "pictor/views/ImageView.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/views/WidgetPlaceholder.h"

#include <QAction>
#include <QLabel>
#include <QStandardItemModel>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QPushButton>
#include <QTextEdit>

using namespace pictor;

namespace {

Image placeholderImage() { return Image(testimages::quadrants(QSize(4, 4))); }

bool shows(const std::optional<Image>& image, QSize size) { return image && image->bitmap().size() == size; }

} // namespace

class WidgetImageLoadingTest : public WidgetFixture {
protected:
    QUrl png() const { return server.url(QStringLiteral("/image.png")); }
    QUrl slow() const { return server.url(QStringLiteral("/slow.png")); }
    QUrl missing() const { return server.url(QStringLiteral("/status/404")); }
    QUrl silent() const { return server.url(QStringLiteral("/silent.png")); }
};

TEST_F(WidgetImageLoadingTest, TheLatestOfFiveSourcesWinsAndEveryLoadCompletesOnce)
{
    ImageView view;
    view.setIndicatorType(IndicatorType::activity());
    Completions done;
    // Four slow loads, then the quick one: the earlier ones finish later and are refused.
    for (int i = 0; i < 4; ++i)
        pt::setImage(&view, network(slow(), QStringLiteral("slow-%1").arg(i)), nullptr, std::nullopt, {}, done.record());
    pt::setImage(&view, network(png()), nullptr, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 5; }));
    QTest::qWait(50);
    ASSERT_EQ(done.results.size(), 5);
    int succeeded = 0;
    for (qsizetype i = 0; i < 5; ++i) {
        succeeded += done.results[i].isSuccess();
        EXPECT_TRUE(done.results[i].isSuccess() || done.notCurrent(i)) << i;
        // An overtaken load still hands over what it got.
        if (done.results[i].isFailure()) {
            const auto* overtaken = done.results[i].error().payload<ImageSetting::SettingResult>();
            ASSERT_TRUE(overtaken) << i;
            ASSERT_TRUE(overtaken->isSuccess()) << i;
            EXPECT_EQ(overtaken->value().image.pixelSize(), QSizeF(32, 24));
        }
    }
    EXPECT_EQ(succeeded, 1);
    EXPECT_TRUE(shows(view.image(), QSize(32, 24)));
    EXPECT_FALSE(ImageSetting::taskIdentifier(&view));
    auto* spinner = static_cast<ActivityIndicator*>(view.indicator().get());
    EXPECT_EQ(spinner->animatingCount(), 0) << "stopped once per load";
}

TEST_F(WidgetImageLoadingTest, NoSourceShowsThePlaceholderAndFailsAtOnce)
{
    ImageView view;
    Completions done;
    EXPECT_FALSE(pt::setImage(&view, std::nullopt, std::make_shared<ImagePlaceholder>(placeholderImage()), std::nullopt, {}, done.record()));
    ASSERT_EQ(done.results.size(), 1) << "before setImage returned";
    EXPECT_EQ(done.results[0].error().reason(), PictorError::Reason::emptySource);
    EXPECT_TRUE(shows(view.image(), QSize(4, 4)));
}

TEST_F(WidgetImageLoadingTest, PlaceholderAndFailureImageByOptions)
{
    struct Case {
        const char* name;
        bool showsBefore;
        QList<PictorOptionsInfoItem> options;
        bool failing;
        std::optional<QSize> shownWhileLoading;
        std::optional<QSize> shownAtEnd;
    };
    const QList<Case> cases = {
        {"placeholder while loading", true, {}, false, QSize(4, 4), QSize(32, 24)},
        {"keep what is shown", true, {PictorOptionsInfoItem::keepCurrentImageWhileLoading()}, false, QSize(8, 8), QSize(32, 24)},
        {"keep needs something shown", false, {PictorOptionsInfoItem::keepCurrentImageWhileLoading()}, false, QSize(4, 4), QSize(32, 24)},
        {"failure keeps the placeholder", true, {}, true, QSize(4, 4), QSize(4, 4)},
        {"failure image of none clears", true, {PictorOptionsInfoItem::onFailureImage(std::nullopt)}, true, QSize(4, 4), std::nullopt},
    };
    for (const Case& c : cases) {
        ImageView view;
        if (c.showsBefore)
            view.setImage(Image(testimages::quadrants(QSize(8, 8))));
        Completions done;
        pt::setImage(&view, network(c.failing ? missing() : slow(), QString::fromLatin1(c.name)),
                     std::make_shared<ImagePlaceholder>(placeholderImage()), c.options, {}, done.record());
        EXPECT_EQ(view.image() ? std::optional(view.image()->bitmap().size()) : std::nullopt, c.shownWhileLoading) << c.name;
        ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; })) << c.name;
        EXPECT_EQ(done.results[0].isFailure(), c.failing) << c.name;
        EXPECT_EQ(view.image() ? std::optional(view.image()->bitmap().size()) : std::nullopt, c.shownAtEnd) << c.name;
    }
}

TEST_F(WidgetImageLoadingTest, AWidgetPlaceholderLeavesOnSuccessAndMayBeDestroyedMeanwhile)
{
    ImageView view;
    auto* label = new QLabel(QStringLiteral("loading"));
    Completions done;
    pt::setImage(&view, network(slow()), std::make_shared<WidgetPlaceholder>(label), std::nullopt, {}, done.record());
    EXPECT_EQ(label->parentWidget(), &view);
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; }));
    EXPECT_EQ(label->parentWidget(), nullptr);
    EXPECT_TRUE(shows(view.image(), QSize(32, 24)));

    pt::setImage(&view, network(slow(), QStringLiteral("again")), std::make_shared<WidgetPlaceholder>(label), std::nullopt, {}, done.record());
    delete label;
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[1].isSuccess());
}

TEST_F(WidgetImageLoadingTest, ATargetDestroyedWhileLoadingGetsOneRefusal)
{
    Completions done;
    auto* view = new ImageView;
    auto* button = new QPushButton;
    auto* document = new QTextDocument;
    pt::setImage(view, network(slow()), nullptr, std::nullopt, {}, done.record());
    pt::setImage(button, network(slow()), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(TextAttachment{document, QUrl(QStringLiteral("pictor://cover")), {}}, network(slow()), std::nullopt, std::nullopt, {},
                 done.record());
    delete view;
    delete button;
    delete document;
    pt::setImage(static_cast<ImageView*>(nullptr), network(slow()), nullptr, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 4; }));
    QTest::qWait(50);
    ASSERT_EQ(done.results.size(), 4);
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_TRUE(done.notCurrent(i)) << i;
}

TEST_F(WidgetImageLoadingTest, TabsCellsAndTheTrayIconTakeOnlyTheirLatestLoad)
{
    QTabWidget tabs;
    tabs.addTab(new QWidget, QStringLiteral("first"));
    tabs.addTab(new QWidget, QStringLiteral("second"));
    QStandardItemModel model(2, 2);
    auto* item = new QStandardItem;
    model.setItem(1, 1, item);
    QSystemTrayIcon tray;
    using Load = std::function<void(const Source&, ImageSetting::Completion)>;
    struct Target {
        const char* name;
        Load load;
        std::function<QSize()> shown;
    };
    const QList<Target> targets{
        {"tab", [&](const Source& source, auto done) { pt::setTabImage(&tabs, 1, source, std::nullopt, std::nullopt, {}, done); },
         [&] { return tabs.tabIcon(1).isNull() ? QSize() : tabs.tabIcon(1).availableSizes().value(0); }},
        {"cell", [&](const Source& source, auto done) { pt::setImage(QPersistentModelIndex(model.index(0, 1)), source, std::nullopt, std::nullopt, {}, done); },
         [&] { return model.index(0, 1).data(Qt::DecorationRole).value<QPixmap>().size(); }},
        {"standardItem", [&](const Source& source, auto done) { pt::setImage(item, source, std::nullopt, std::nullopt, {}, done); },
         [&] { return item->data(Qt::DecorationRole).value<QPixmap>().size(); }},
        {"tray", [&](const Source& source, auto done) { pt::setImage(&tray, source, std::nullopt, std::nullopt, {}, done); },
         [&] { return tray.icon().isNull() ? QSize() : tray.icon().availableSizes().value(0); }},
    };
    for (const Target& target : targets) {
        Completions done;
        // The slow load finishes last and is refused: what shows is the newer one's image.
        target.load(network(slow(), QStringLiteral("slow-") + QLatin1String(target.name)), done.record());
        target.load(network(png(), QStringLiteral("quick-") + QLatin1String(target.name)), done.record());
        ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; })) << target.name;
        EXPECT_TRUE(done.results[0].isSuccess()) << target.name;
        ASSERT_TRUE(done.notCurrent(1)) << target.name << " the slow one ends second and is not current";
        EXPECT_EQ(target.shown(), QSize(32, 24)) << target.name;
    }
    // The other cells and tabs are untouched.
    EXPECT_TRUE(tabs.tabIcon(0).isNull());
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).isValid());
}

// A model that tells how many persistent indexes it keeps.
class CountingModel : public QStandardItemModel {
public:
    using QStandardItemModel::persistentIndexList;
};

class ModelCellLoadingTest : public WidgetImageLoadingTest {
protected:
    void SetUp() override
    {
        WidgetImageLoadingTest::SetUp();
        storeAndWait(Image(testimages::quadrants(QSize(6, 6))), QStringLiteral("quick"));
        fillRows();
    }
    // Rows "d" to "a" of two cells, so that sorting turns them round.
    void fillRows()
    {
        model.clear();
        for (const char* text : {"d", "c", "b", "a"})
            model.appendRow({new QStandardItem(QString::fromLatin1(text)), new QStandardItem});
    }
    Source quick() const { return network(png(), QStringLiteral("quick")); }
    QPersistentModelIndex cell(int row, int column = 0) const { return QPersistentModelIndex(model.index(row, column)); }
    static QSize shown(const QPersistentModelIndex& cell) { return cell.data(Qt::DecorationRole).value<QPixmap>().size(); }

    CountingModel model;
};

TEST_F(ModelCellLoadingTest, AnEndedLoadLeavesNoPersistentIndexOfItsCell)
{
    // Loads ending every way: downloaded, from the cache, failed, cancelled.
    Completions done;
    pt::setImage(QPersistentModelIndex(model.index(0, 0)), network(png()), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(QPersistentModelIndex(model.index(1, 0)), quick(), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(QPersistentModelIndex(model.index(2, 0)), network(missing()), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(QPersistentModelIndex(model.index(3, 0)), network(silent()), std::nullopt, std::nullopt, {}, done.record());
    pt::cancelDownloadTask(QPersistentModelIndex(model.index(3, 0)));
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 4; }));
    ASSERT_EVENTUALLY(model.persistentIndexList().isEmpty(), 5000) << model.persistentIndexList().size();
}

TEST_F(ModelCellLoadingTest, ALoadStaysWithItsCellWhileRowsMove)
{
    struct Case {
        const char* name;
        std::function<void(QStandardItemModel&)> rearrange;
    };
    const QList<Case> cases = {
        {"rows inserted above", [](QStandardItemModel& m) { m.insertRows(0, 2); }},
        {"rows sorted", [](QStandardItemModel& m) { m.sort(0); }},
    };
    for (const Case& c : cases) {
        fillRows();
        Completions done;
        const QPersistentModelIndex loading = cell(0);
        const Source slowly = network(slow(), QStringLiteral("slow-") + QLatin1String(c.name));
        pt::setImage(loading, slowly, std::nullopt, std::nullopt, {}, done.record());
        c.rearrange(model);
        ASSERT_NE(loading.row(), 0) << c.name;
        // Another cell now holds row 0: its load is its own.
        pt::setImage(cell(0), quick(), std::nullopt, std::nullopt, {}, done.record());
        ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; })) << c.name;
        EXPECT_TRUE(done.results[0].isSuccess() && done.results[1].isSuccess()) << c.name;
        EXPECT_EQ(shown(loading), QSize(32, 24)) << c.name;
        EXPECT_EQ(shown(cell(0)), QSize(6, 6)) << c.name;
    }
}

TEST_F(ModelCellLoadingTest, AMovedCellTakesOnlyItsNewestLoad)
{
    Completions done;
    const QPersistentModelIndex moving = cell(0);
    pt::setImage(moving, network(slow()), std::nullopt, std::nullopt, {}, done.record());
    model.sort(0);
    pt::setImage(moving, quick(), std::nullopt, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[0].isSuccess()) << "the quick load, from the cache";
    EXPECT_TRUE(done.notCurrent(1)) << "the older load ends after the newer one and is refused";
    EXPECT_EQ(shown(moving), QSize(6, 6));
}

TEST_F(ModelCellLoadingTest, CancellingReachesOnlyTheCellsOwnLoad)
{
    Completions done;
    const QPersistentModelIndex moving = cell(0);
    const QPersistentModelIndex neighbour = cell(0, 1);
    pt::setImage(moving, network(slow(), QStringLiteral("moving")), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(neighbour, network(slow(), QStringLiteral("neighbour")), std::nullopt, std::nullopt, {}, done.record());
    model.sort(0);
    // The cells now at the loading cells' old places have no load of their own to cancel.
    pt::cancelDownloadTask(cell(0));
    pt::cancelDownloadTask(cell(0, 1));
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[0].isSuccess() && done.results[1].isSuccess());
    EXPECT_EQ(shown(moving), QSize(32, 24));
    EXPECT_EQ(shown(neighbour), QSize(32, 24));

    // The moved cell's own cancel ends its load.
    pt::setImage(moving, network(silent()), std::nullopt, std::nullopt, {}, done.record());
    model.sort(0, Qt::DescendingOrder);
    pt::cancelDownloadTask(moving);
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 3; }));
    EXPECT_TRUE(done.results[2].error().isTaskCancelled());
}

TEST_F(ModelCellLoadingTest, ARemovedCellLetsGoOfItsDownload)
{
    struct Case {
        const char* name;
        std::function<void(QStandardItemModel&)> remove;
    };
    const QList<Case> cases = {
        {"row removed", [](QStandardItemModel& m) { m.removeRow(1); }},
        {"column removed", [](QStandardItemModel& m) { m.removeColumn(0); }},
        {"model cleared", [](QStandardItemModel& m) { m.clear(); }},
    };
    Completions done;
    for (const Case& c : cases) {
        fillRows();
        std::weak_ptr<DownloadTask> download = pt::setImage(cell(1), network(silent(), QLatin1String(c.name)), std::nullopt, std::nullopt, {},
                                                            done.record());
        ASSERT_FALSE(download.expired()) << c.name;
        c.remove(model);
        EXPECT_TRUE(download.expired()) << c.name;
        EXPECT_TRUE(done.results.isEmpty()) << c.name << ": the transfer runs on, only the cell forgets it";
    }
    downloader->cancelAll();
    ASSERT_TRUE(waitFor([&] { return done.results.size() == cases.size(); }));
    for (qsizetype i = 0; i < cases.size(); ++i)
        EXPECT_TRUE(done.notCurrent(i)) << cases[i].name;
}

TEST_F(ModelCellLoadingTest, CellsOfOneRowLoadApart)
{
    Completions done;
    pt::setImage(cell(1, 0), network(slow()), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(cell(1, 1), quick(), std::nullopt, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[0].isSuccess() && done.results[1].isSuccess());
    EXPECT_EQ(shown(cell(1, 0)), QSize(32, 24));
    EXPECT_EQ(shown(cell(1, 1)), QSize(6, 6));
}

TEST_F(WidgetImageLoadingTest, CancellingEndsTheLoadWithTheCancellation)
{
    ImageView view;
    Completions done;
    pt::setImage(&view, network(slow()), nullptr, std::nullopt, {}, done.record());
    ASSERT_TRUE(ImageSetting::imageTask(&view));
    pt::cancelDownloadTask(&view);
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; }));
    EXPECT_TRUE(done.results[0].error().isTaskCancelled());
    EXPECT_FALSE(ImageSetting::imageTask(&view));
    EXPECT_FALSE(ImageSetting::taskIdentifier(&view));
}

TEST_F(WidgetImageLoadingTest, AnOvertakenLoadsRetryNeverTakesTheNewerLoadsPlace)
{
    ImageView view;
    Completions done;
    const QList<PictorOptionsInfoItem> retrying{
        PictorOptionsInfoItem::retryStrategy(std::make_shared<DelayRetryStrategy>(1, DelayRetryStrategy::Seconds{0.05}))};
    pt::setImage(&view, network(missing()), nullptr, retrying, {}, done.record());
    const std::shared_ptr<DownloadTask> newer = pt::setImage(&view, network(silent()), nullptr, std::nullopt, {}, done.record());
    ASSERT_TRUE(newer);
    // The overtaken load fails, retries with a download of its own, fails again and is refused.
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; }));
    EXPECT_TRUE(done.notCurrent(0));
    EXPECT_GE(server.hits("/status/404"), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(ImageSetting::imageTask(&view), newer);
    pt::cancelDownloadTask(&view);
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[1].error().isTaskCancelled()) << "the cancel reached the newer load";
}

TEST_F(WidgetImageLoadingTest, AnImageViewDecodesAnimationsWholeAndAnAnimatedViewFrameByFrame)
{
    const QByteArray gif = testimages::gif(QSize(4, 4), {{QSize(4, 4), 1, 5}, {QSize(4, 4), 2, 5}});
    ImageView still;
    AnimatedImageView animated;
    const QList<std::pair<ImageView*, bool>> cases{{&still, true}, {&animated, false}};
    for (const auto& [view, preloadsAll] : cases) {
        Completions done;
        const Source source = Source::provider(std::make_shared<RawImageDataProvider>(gif, QStringLiteral("gif-%1").arg(preloadsAll)));
        pt::setImage(view, source, nullptr, std::nullopt, {}, done.record());
        ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; })) << preloadsAll;
        ASSERT_TRUE(done.results[0].isSuccess()) << preloadsAll;
        const std::optional<ImageCreatingOptions> made = done.results[0].value().image.creatingOptions();
        ASSERT_TRUE(made) << preloadsAll;
        EXPECT_EQ(made->preloadAll, preloadsAll);
    }
}

TEST_F(WidgetImageLoadingTest, ACacheHitStartsNoDownloadAndLeavesNoTask)
{
    storeAndWait(picture(), png().toString());
    ImageView view;
    Completions done;
    EXPECT_FALSE(pt::setImage(&view, network(png()), nullptr, std::nullopt, {}, done.record()));
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; }));
    EXPECT_EQ(done.results[0].value().cacheType, CacheType::memory);
    EXPECT_TRUE(shows(view.image(), QSize(40, 30)));
    EXPECT_FALSE(ImageSetting::imageTask(&view));
}

TEST_F(WidgetImageLoadingTest, AButtonsImageAndAlternateImageAreIndependentLoads)
{
    QPushButton button;
    button.setCheckable(true);
    storeAndWait(Image(testimages::quadrants(QSize(6, 6))), QStringLiteral("on"));
    Completions done;
    pt::setImage(&button, network(slow()), placeholderImage(), std::nullopt, {}, done.record());
    pt::setAlternateImage(&button, network(png(), QStringLiteral("on")), std::nullopt, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_TRUE(done.results[0].isSuccess() && done.results[1].isSuccess());
    const QIcon icon = button.icon();
    EXPECT_EQ(icon.pixmap(QSize(64, 64), QIcon::Normal, QIcon::Off).size(), QSize(32, 24));
    EXPECT_EQ(icon.pixmap(QSize(64, 64), QIcon::Normal, QIcon::On).size(), QSize(6, 6));
}

TEST_F(WidgetImageLoadingTest, AnActionKeepsItsIconUntilTheNewOneArrives)
{
    QAction action;
    storeAndWait(Image(testimages::quadrants(QSize(6, 6))), QStringLiteral("first"));
    Completions done;
    pt::setImage(&action, network(png(), QStringLiteral("first")), std::nullopt, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 1; }));
    pt::setImage(&action, network(slow()), placeholderImage(), QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::keepCurrentImageWhileLoading()},
                 {}, done.record());
    EXPECT_EQ(action.icon().pixmap(QSize(64, 64)).size(), QSize(6, 6));
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_EQ(action.icon().pixmap(QSize(64, 64)).size(), QSize(32, 24));
}

TEST_F(WidgetImageLoadingTest, ATextAttachmentRepaintsItsViewOncePerAppliedImage)
{
    QTextEdit edit;
    edit.setHtml(QStringLiteral("<p>Cover: <img src=\"pictor://cover\"></p>"));
    int asked = 0;
    const TextAttachment attachment{edit.document(), QUrl(QStringLiteral("pictor://cover")), [&] {
                                        ++asked;
                                        return edit.viewport();
                                    }};
    Completions done;
    pt::setImage(attachment, network(slow()), std::nullopt, std::nullopt, {}, done.record());
    pt::setImage(attachment, network(png()), std::nullopt, std::nullopt, {}, done.record());
    ASSERT_TRUE(waitFor([&] { return done.results.size() == 2; }));
    EXPECT_EQ(asked, 1) << "the refused load touches nothing";
    EXPECT_EQ(edit.document()->resource(QTextDocument::ImageResource, attachment.name).value<QImage>().size(), QSize(32, 24));
}
