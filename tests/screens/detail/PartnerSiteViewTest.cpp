#include "library/OwnFixture.h"

#include "backend/WallpaperCounterService.h"
#include "foundation/AppError.h"
#include "model/PartnerSiteKey.h"
#include "screens/detail/PartnerSiteLoader.h"
#include "screens/detail/PartnerSiteRecord.h"
#include "screens/detail/PartnerSiteView.h"
#include "support/Eventually.h"
#include "support/TestHttpsServer.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/Screenshot.h"
#include "ui/LabelButton.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>

#include <httplib.h>

#include <atomic>

namespace {

TEST(PartnerSiteRecordTest, TitlesFactsAndKeys)
{
    const std::pair<const char*, const char*> titles[] = {
        {"Neon City Live Wallpaper 4K", "Neon City"}, {"Lively  Koi   HD", "Lively Koi"}, {"LIVE 8K HD Wallpaper", ""}};
    for (const auto& [title, cleaned] : titles)
        EXPECT_EQ(PartnerSiteRecord::cleanTitle(QString::fromLatin1(title)), QString::fromLatin1(cleaned)) << title;

    const std::pair<std::optional<qint64>, std::optional<QString>> durations[] = {
        {59, QStringLiteral("0:59s")}, {125, QStringLiteral("2:05s")}, {0, QStringLiteral("0:00s")}, {-5, std::nullopt}, {std::nullopt, std::nullopt}};
    for (const auto& [seconds, text] : durations)
        EXPECT_EQ(PartnerSiteRecord::durationText(seconds), text);

    for (const auto& [resolution, is4k] : {std::pair{"3840x2160", true}, {"3840×2160", true}, {"2160p", false}, {"3840x1600", false}})
        EXPECT_EQ(PartnerSiteRecord::is4k(QString::fromUtf8(resolution)), is4k) << resolution;

    GravelnookData record;
    record.id = 501;
    record.title = QStringLiteral("LIVE 8K HD Wallpaper Of A Very Long Name Indeed");
    record.videoUrl = QStringLiteral("https://p.example/501/master.mp4");
    record.fileSize = QStringLiteral("18.4 MB");
    const WallpaperModel model = PartnerSiteRecord::make(record, QStringLiteral("3840x2160"), std::nullopt);
    EXPECT_EQ(model.resolution, QStringLiteral("3840×2160"));
    EXPECT_EQ(model.fileSize, QStringLiteral("18MB"));
    EXPECT_EQ(model.title, QStringLiteral("Of A Very Long Name Indeed"));
    EXPECT_EQ(model.key, PartnerSiteKey::kFirst + 501) << "never the catalogue's wallpaper 501";
    EXPECT_TRUE(model.isFromGravelnook);
    EXPECT_TRUE(model.is_4k);
    EXPECT_FALSE(model.posterUrl) << "an empty address stays absent";
    // A size is read as the partner wrote it, thousands separators included, or kept as written.
    const std::pair<const char*, const char*> sizes[] = {
        {"1,536 MB", "1536MB"}, {"2,048,000 KB", "2000MB"}, {"18,6 MB", "19MB"}, {"about 2 GB", "about 2 GB"}};
    for (const auto& [written, shown] : sizes) {
        record.fileSize = QString::fromUtf8(written);
        EXPECT_EQ(PartnerSiteRecord::make(record, std::nullopt, std::nullopt).fileSize, QString::fromUtf8(shown)) << written;
    }
    record.id = -1;
    EXPECT_THROW(PartnerSiteRecord::make(record, std::nullopt, std::nullopt), MessageError);
}

class PartnerSiteViewTest : public OwnFixture {
protected:
    // Escape as the user presses it, into the page's window.
    static void pressEscape(QWidget& page)
    {
        QApplication::setActiveWindow(&page);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &page, Qt::Key_Escape);
    }

    std::unique_ptr<PartnerSiteView> view(const QString& id)
    {
        auto page = std::make_unique<PartnerSiteView>(id,
            [](const WallpaperModel& wallpaper, std::function<void()>) { return new QLabel(wallpaper.title); },
            std::make_shared<PartnerSiteLoader>(*api_, Http::shared(), media_));
        page->resize(900, 560);
        page->show();
        page->appeared();
        return page;
    }
};

TEST_F(PartnerSiteViewTest, OpensTheRecordMeasuringWhatItLacks)
{
    const auto complete = view(QStringLiteral("501"));
    saveScreenshot(*complete, QStringLiteral("partner-loading"));
    ASSERT_EVENTUALLY(complete->state() == PartnerSiteView::State::Showing, 20'000);
    EXPECT_EQ(complete->wallpaper()->resolution, QStringLiteral("3840×2160")) << "written as every other chip";
    EXPECT_EQ(complete->wallpaper()->duration, QStringLiteral("0:04s"));
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/wallpaper/1718000001025/master.mp4")), 0);

    const auto bare = view(QStringLiteral("502"));
    ASSERT_EVENTUALLY(bare->state() == PartnerSiteView::State::Showing, 30'000);
    EXPECT_TRUE(bare->wallpaper()->resolution);
    EXPECT_TRUE(bare->wallpaper()->duration);
    EXPECT_EQ(qobject_cast<QLabel*>(bare->fullScreenView())->text(), QStringLiteral("Lantern Street"));
}

// The partner's own resolution is kept even when the video measures otherwise; only what the
// record lacks is measured.
TEST_F(PartnerSiteViewTest, TheRecordsOwnResolutionOutranksTheProbe)
{
    setFault(QStringLiteral("gravel-nook"), {.rewritePattern = QStringLiteral("\"category\":\"City\""),
                                                .rewriteWith = QStringLiteral("\"category\":\"City\",\"resolution\":\"5120x2880\"")});
    const auto page = view(QStringLiteral("502"));
    ASSERT_EVENTUALLY(page->state() == PartnerSiteView::State::Showing, 30'000);
    EXPECT_EQ(page->wallpaper()->resolution, QStringLiteral("5120×2880"));
    EXPECT_TRUE(page->wallpaper()->duration) << "the missing length is measured";
    EXPECT_FALSE(page->wallpaper()->is_4k);
}

// A partner server that ignores the byte range sends its whole video: the probe still reads only
// the head, and measures it.
TEST_F(PartnerSiteViewTest, TheProbeReadsOnlyTheHeadOfAVideo)
{
    QFile clipFile(clip(Clip::Uhd));
    ASSERT_TRUE(clipFile.open(QIODevice::ReadOnly));
    const std::string head = clipFile.readAll().toStdString();
    constexpr size_t kServed = size_t(96) << 20;
    std::atomic<size_t> sent = 0;
    TestHttpsServer server;
    server.routes().Get("/video.mp4", [&](const httplib::Request& req, httplib::Response& res) {
        // The server hands a const request, but it is its own: clearing the ranges ignores them.
        const_cast<httplib::Request&>(req).ranges.clear();
        res.set_content_provider(kServed, "video/mp4", [&](size_t offset, size_t length, httplib::DataSink& sink) {
            std::string block = offset < head.size() ? head.substr(offset, length) : std::string(std::min<size_t>(length, 64 << 10), '\0');
            if (!sink.write(block.data(), block.size()))
                return false;
            sent += block.size();
            return true;
        });
    });
    server.start();
    PartnerSiteLoader loader(*api_, Http::shared(), media_);
    const PartnerSiteLoader::Facts facts = waitForTask(loader.probeVideoMetadata(server.url(QStringLiteral("/video.mp4"))));
    EXPECT_EQ(facts.resolution, QStringLiteral("3840×2160"));
    EXPECT_EQ(facts.duration, QStringLiteral("0:01s"));
    // What the sockets still held when the probe stopped reading comes on top of the cap.
    EXPECT_LT(sent.load(), kServed / 4) << "bytes served: " << sent.load();
}

// Escape leaves the page before the wallpaper is there: while it loads and once it failed.
TEST_F(PartnerSiteViewTest, EscapeLeavesWhileLoadingAndAfterAFailure)
{
    EscapeKeyFilter escape;
    Shared<EscapeKeyFilter>::Override escapeOverride(escape);
    setFault(QStringLiteral("gravel-nook"), {.delayMs = 3'000, .times = 1});
    const auto loading = view(QStringLiteral("501"));
    QSignalSpy loadingClosed(loading.get(), &PartnerSiteView::closeRequested);
    pressEscape(*loading);
    EXPECT_EQ(loading->state(), PartnerSiteView::State::Loading);
    EXPECT_EQ(loadingClosed.size(), 1);

    const auto failed = view(QStringLiteral("999"));
    ASSERT_EVENTUALLY(failed->state() == PartnerSiteView::State::Failed, 20'000);
    QSignalSpy failedClosed(failed.get(), &PartnerSiteView::closeRequested);
    pressEscape(*failed);
    EXPECT_EQ(failedClosed.size(), 1);
    ASSERT_EVENTUALLY(loading->state() != PartnerSiteView::State::Loading, 20'000); // no request outlives the test
}

TEST_F(PartnerSiteViewTest, FailureShowsWhyAndGoesBack)
{
    const auto page = view(QStringLiteral("999"));
    ASSERT_EVENTUALLY(page->state() == PartnerSiteView::State::Failed, 20'000);
    EXPECT_TRUE(page->errorMessage().contains(QStringLiteral("404"))) << page->errorMessage().toStdString();
    saveScreenshot(*page, QStringLiteral("partner-failed"));
    QSignalSpy closed(page.get(), &PartnerSiteView::closeRequested);
    page->goBackButton()->clicked();
    EXPECT_EQ(closed.size(), 1);
}

TEST_F(PartnerSiteViewTest, PartnerKeysBumpNoCatalogueCounter)
{
    WallpaperCounterService counter(*api_);
    const int before = requests(QStringLiteral("increment-wallpaper"));
    waitForTask(counter.incrementDownloads(PartnerSiteKey::kFirst + 501));
    waitForTask(counter.incrementLikes(PartnerSiteKey::kFirst + 501));
    EXPECT_EQ(requests(QStringLiteral("increment-wallpaper")), before);
}

} // namespace
