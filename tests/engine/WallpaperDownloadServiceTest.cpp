#include "engine/DownloadError.h"
#include "engine/EngineTestClips.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "support/TaskWait.h"
#include "engine/VideoDownload.h"
#include "engine/WallpaperDownloadService.h"
#include "foundation/Paths.h"
#include "platform/Http.h"
#include "support/FileBytes.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

#include <sys/stat.h>

namespace {

using samplecatalogue::Fault;

using Kind = DownloadError::Kind;

constexpr qint64 kKey = 1718000000137;
const QString kMasterPath = QStringLiteral("/wallpaper/1718000000137/master.mp4");

QStringList folderEntries()
{
    return QDir(WallpaperDownloadService::folderPath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The DownloadError a download throws (the test fails when it throws none).
std::optional<DownloadError> failureOf(QCoro::Task<QUrl> task)
{
    try {
        waitForTask(std::move(task));
    } catch (const DownloadError& error) {
        return error;
    }
    ADD_FAILURE() << "the download did not fail";
    return std::nullopt;
}

// The real service against the sample catalogue's asset host, in a fresh Caches folder.
class WallpaperDownloadServiceTest : public ::testing::Test {
protected:
    QUrl masterUrl() { return QUrl(catalogue_.server().baseUrl() + kMasterPath); }
    QString destination() const { return Paths::appCaches() + QStringLiteral("/Wallpapers/1718000000137.mp4"); }


    TempFolder temp_;
    SampleCatalogueFixture catalogue_;
    WallpaperDownloadService service_;
};

TEST_F(WallpaperDownloadServiceTest, TheMasterVideoIsDownloadedWholeWithProgressOnTheGuiThread)
{
    QList<double> progress;
    bool offGuiThread = false;
    QSignalSpy active(&service_, &WallpaperDownloadService::activeDownloadCountChanged);
    const QUrl file = waitForTask(service_.downloadWallpaper(masterUrl(), kKey, [&](double fraction) {
        progress << fraction;
        offGuiThread |= QThread::currentThread() != qApp->thread();
    }));

    EXPECT_EQ(file, QUrl::fromLocalFile(destination()));
    EXPECT_EQ(readFile(destination()), waitForTask(Http::shared().send(QNetworkRequest(masterUrl()))).body);
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("1718000000137.mp4"), QStringLiteral("1718000000137.mp4.size")}));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.last(), 1.0);
    EXPECT_FALSE(offGuiThread);
    EXPECT_EQ(active.size(), 2); // one up, one down
    EXPECT_EQ(service_.activeDownloadCount(), 0);
    EXPECT_EQ(service_.cachedFileUrl(kKey), file);
}

// A master is a file like any other the user makes: readable by others unless their umask says no.
TEST_F(WallpaperDownloadServiceTest, AStoredMasterHasTheUsualRightsLessTheUmask)
{
    const mode_t before = ::umask(022);
    for (const mode_t mask : {mode_t(022), mode_t(027), mode_t(077), mode_t(002)}) {
        SCOPED_TRACE(mask);
        service_.clearAll();
        ::umask(mask);
        waitForTask(service_.downloadWallpaper(masterUrl(), kKey, {}));
        struct stat facts {};
        ASSERT_EQ(::stat(QFile::encodeName(destination()).constData(), &facts), 0);
        EXPECT_EQ(facts.st_mode & 0777, 0666 & ~mask);
    }
    ::umask(before);
}

TEST_F(WallpaperDownloadServiceTest, AFileOnDiskIsReturnedAtOnceWithOneReportOfOne)
{
    QDir().mkpath(service_.wallpapersDirectory());
    QFile stale(destination());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("even a stale file is kept");
    stale.close();

    QList<double> progress;
    const QUrl file = waitForTask(service_.downloadWallpaper(masterUrl(), kKey, [&](double fraction) { progress << fraction; }));
    EXPECT_EQ(file, QUrl::fromLocalFile(destination()));
    EXPECT_EQ(progress, QList<double>{1.0});
    EXPECT_EQ(catalogue_.server().requestCount(kMasterPath), 0);
}

// Only a video is stored as a master: an error status, and a success whose body is no video (a
// portal's page, an error text, nothing at all), are an invalid response and leave no file.
TEST_F(WallpaperDownloadServiceTest, OnlyAVideoIsStored)
{
    for (const Fault& fault : {Fault{.status = 404, .times = 1}, Fault{.status = 500, .times = 1}, Fault{.status = 300, .times = 1},
             Fault{.status = 204, .times = 1}, Fault{.status = 299, .times = 1}, Fault{.invalidJson = true, .times = 1}}) {
        SCOPED_TRACE(fault.status);
        service_.clearAll();
        catalogue_.server().setFault(kMasterPath, fault);
        const auto failure = failureOf(service_.downloadWallpaper(masterUrl(), kKey, {}));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), Kind::invalidResponse);
        EXPECT_EQ(failure->localizedDescription(), QStringLiteral("Invalid response from server"));
        EXPECT_TRUE(folderEntries().isEmpty());
        // The fault is spent: the next call fetches the video.
        waitForTask(service_.downloadWallpaper(masterUrl(), kKey, {}));
        EXPECT_GT(QFileInfo(destination()).size(), 1000);
    }
}

// A reply cut after the video's header but sent with a matching length arrives "whole": it is
// refused, as it would play only its start for good. So it is when the reply states no length
// (sent in chunks) or another one than the file's (sent compressed): the check that reads the
// bytes as they arrive learns the file's size only at the end.
TEST_F(WallpaperDownloadServiceTest, AMasterThatDoesNotPlayToItsEndIsNotStored)
{
    enum class Sending { WithLength, InChunks, Compressed };
    const std::string whole = waitForTask(Http::shared().send(QNetworkRequest(masterUrl()))).body.toStdString();
    std::string served;
    Sending sending = Sending::WithLength;
    TestHttpsServer server;
    server.routes().Get("/master.mp4", [&served, &sending](const httplib::Request&, httplib::Response& response) {
        switch (sending) {
        case Sending::WithLength:
            response.set_content(served, "video/mp4");
            break;
        case Sending::InChunks:
            response.set_chunked_content_provider("video/mp4", [&served](size_t, httplib::DataSink& sink) {
                sink.write(served.data(), served.size());
                sink.done();
                return true;
            });
            break;
        case Sending::Compressed: // a zlib stream without qCompress's length in front
            response.set_header("Content-Encoding", "deflate");
            response.set_content(qCompress(QByteArray::fromStdString(served)).mid(4).toStdString(), "video/mp4");
            break;
        }
    });
    server.start();
    for (const Sending how : {Sending::WithLength, Sending::InChunks, Sending::Compressed}) {
        sending = how;
        // The master's index comes first, so a cut in its last packet leaves every frame listed.
        for (const std::size_t kept : {whole.size() * 3 / 10, whole.size() * 7 / 10, whole.size() - 8}) {
            SCOPED_TRACE(testing::Message() << "sending " << int(how) << ", kept " << kept);
            served = whole.substr(0, kept);
            const auto failure = failureOf(service_.downloadWallpaper(server.url(QStringLiteral("/master.mp4")), kKey, {}));
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind(), Kind::invalidResponse);
            EXPECT_TRUE(folderEntries().isEmpty());
        }
        served = whole;
        waitForTask(service_.downloadWallpaper(server.url(QStringLiteral("/master.mp4")), kKey, {}));
        EXPECT_EQ(readFile(destination()).toStdString(), whole);
        service_.clearAll();
    }
}

// A master cut after it was stored (a full disk, a crash of another program) is fetched again.
TEST_F(WallpaperDownloadServiceTest, ACutMasterCountsAsAbsent)
{
    waitForTask(service_.downloadWallpaper(masterUrl(), kKey, {}));
    const QByteArray whole = readFile(destination());
    ASSERT_TRUE(QFile(destination()).resize(whole.size() / 2));
    EXPECT_EQ(service_.cachedFileUrl(kKey), std::nullopt);
    EXPECT_FALSE(waitForTask(WallpaperDownloadService::isPlayable(destination())));

    EXPECT_EQ(waitForTask(service_.downloadWallpaper(masterUrl(), kKey, {})), QUrl::fromLocalFile(destination()));
    EXPECT_EQ(catalogue_.server().requestCount(kMasterPath), 2);
    EXPECT_EQ(readFile(destination()), whole);
    EXPECT_EQ(service_.cachedFileUrl(kKey), QUrl::fromLocalFile(destination()));
}

TEST_F(WallpaperDownloadServiceTest, ABodyCutShortIsANetworkErrorAndLeavesNoFile)
{
    catalogue_.server().setFault(kMasterPath, Fault{.cutShort = true, .times = 1});
    const auto failure = failureOf(service_.downloadWallpaper(masterUrl(), kKey, {}));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::networkError);
    EXPECT_TRUE(failure->localizedDescription().startsWith(QStringLiteral("Network error: ")));
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(service_.activeDownloadCount(), 0);
}

TEST_F(WallpaperDownloadServiceTest, AFolderThatCannotBeWrittenIsAFileSystemErrorThatSaysWhy)
{
    struct Case {
        const char* name;
        QString blocked; // a plain file stands here
        QString reason;
    };
    const Case cases[] = {
        {"masters folder", WallpaperDownloadService::folderPath(), WallpaperDownloadService::folderPath() + QStringLiteral(" is a file, not a folder")},
        {"caches folder", Paths::appCaches(), Paths::appCaches() + QStringLiteral(" is a file, not a folder")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(Paths::appCaches()).removeRecursively();
        QFile::remove(Paths::appCaches());
        QDir().mkpath(QFileInfo(c.blocked).path());
        QFile blocker(c.blocked);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        const auto failure = failureOf(service_.downloadWallpaper(masterUrl(), kKey, {}));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), Kind::fileSystemError);
        EXPECT_EQ(failure->localizedDescription(), QStringLiteral("File system error: The wallpapers folder cannot be used: ") + c.reason);
        QFile::remove(c.blocked);
    }
}

TEST_F(WallpaperDownloadServiceTest, TwoDownloadsOfOneKeyBothGetTheWholeFile)
{
    QCoro::Task<QUrl> first = service_.downloadWallpaper(masterUrl(), kKey, {});
    QCoro::Task<QUrl> second = service_.downloadWallpaper(masterUrl(), kKey, {});
    EXPECT_EQ(service_.activeDownloadCount(), 2);
    EXPECT_EQ(waitForTask(std::move(first)), QUrl::fromLocalFile(destination()));
    EXPECT_EQ(waitForTask(std::move(second)), QUrl::fromLocalFile(destination()));
    EXPECT_EQ(catalogue_.server().requestCount(kMasterPath), 2);
    EXPECT_EQ(readFile(destination()), waitForTask(Http::shared().send(QNetworkRequest(masterUrl()))).body);
    EXPECT_EQ(folderEntries().size(), 2); // the master and its record
}

TEST_F(WallpaperDownloadServiceTest, ClearingEmptiesTheFolderAndLooksUpsCreateNothing)
{
    EXPECT_EQ(service_.cachedFileUrl(kKey), std::nullopt);
    EXPECT_FALSE(QFile::exists(WallpaperDownloadService::folderPath()));

    service_.clearAll(); // a missing folder is made, empty
    EXPECT_TRUE(QFileInfo(WallpaperDownloadService::folderPath()).isDir());

    QDir().mkpath(WallpaperDownloadService::folderPath() + QStringLiteral("/sub/deeper"));
    QFile(WallpaperDownloadService::folderPath() + QStringLiteral("/-5.mp4")).open(QIODevice::WriteOnly);
    EXPECT_EQ(service_.cachedFileUrl(-5), QUrl::fromLocalFile(WallpaperDownloadService::folderPath() + QStringLiteral("/-5.mp4")));
    service_.clearAll();
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_TRUE(QFileInfo(WallpaperDownloadService::folderPath()).isDir());
}

} // namespace

namespace {

// The service against a loopback server that misbehaves in ways the sample catalogue does not.
class WallpaperDownloadServiceReplyTest : public ::testing::Test {
protected:
    WallpaperDownloadServiceReplyTest()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        // A body without a length that goes on until the client leaves (or 1 GiB).
        server_.routes().Get("/endless/master.mp4", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("video/mp4", [this](size_t offset, httplib::DataSink& sink) {
                const std::string block(64 << 10, 'v');
                sent_ = offset;
                return offset < (size_t(1) << 30) && sink.write(block.data(), block.size());
            });
        });
        server_.routes().Get("/insecure/master.mp4", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(plainAddress().toString().toStdString());
        });
        server_.start();
    }
    QUrl plainAddress() const
    {
        QUrl plain = server_.url(QStringLiteral("/master.mp4"));
        plain.setScheme(QStringLiteral("http"));
        return plain;
    }

    TempFolder temp_;
    Config config_;
    Shared<Config>::Override configGuard_{config_};
    std::atomic<size_t> sent_ = 0;
    TestHttpsServer server_;
    WallpaperDownloadService service_;
};

// A master that runs on past what its record states ends there instead of filling the disk, and
// the error names the bound as it is.
TEST_F(WallpaperDownloadServiceReplyTest, AMasterLargerThanItsRecordStatesIsANetworkErrorAndStoresNothing)
{
    const std::pair<const char*, const char*> cases[] = {{"1MB", "2.5 MB"}, {"2MB", "3.75 MB"}, {"3 MB", "5 MB"}};
    for (const auto& [stated, bound] : cases) {
        SCOPED_TRACE(stated);
        sent_ = 0;
        const auto failure = failureOf(service_.downloadWallpaper(server_.url(QStringLiteral("/endless/master.mp4")), kKey, {},
            QString::fromLatin1(stated)));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), Kind::networkError);
        EXPECT_EQ(failure->localizedDescription(),
            QStringLiteral("Network error: The video is larger than the %1 it can be.").arg(QLatin1String(bound)));
        EXPECT_TRUE(folderEntries().isEmpty());
        EXPECT_LT(sent_, size_t(64) << 20) << "the reply was dropped soon after the bound";
    }
}

// "0MB" is a size the record does not know: a master of any size within the bound of all masters
// is stored whole, as it is when the record states no size at all.
TEST_F(WallpaperDownloadServiceReplyTest, AnUnknownStatedSizeBoundsOnlyAsAnyMasterIs)
{
    const QString clip = temp_.path() + QStringLiteral("/lossless.mp4");
    ASSERT_TRUE(EngineTestClips::makeClip(clip, QStringLiteral("1280x720"), 1, {QStringLiteral("-qp"), QStringLiteral("0")}));
    const QByteArray whole = readFile(clip);
    ASSERT_GT(whole.size(), qint64(5) << 18) << "the clip must run past the 1.25 MiB a stated 0 MB once allowed";
    TestHttpsServer server;
    server.routes().Get("/master.mp4", [&whole](const httplib::Request&, httplib::Response& response) {
        response.set_content(whole.toStdString(), "video/mp4");
    });
    server.start();
    for (const std::optional<QString>& stated : {std::optional<QString>(QStringLiteral("0MB")), std::optional<QString>(QStringLiteral(" 00 MB")),
             std::optional<QString>(), std::optional<QString>(QStringLiteral("2MB"))}) {
        SCOPED_TRACE(stated.value_or(QStringLiteral("(none)")).toStdString());
        service_.clearAll();
        const QUrl file = waitForTask(service_.downloadWallpaper(server.url(QStringLiteral("/master.mp4")), kKey, {}, stated));
        EXPECT_EQ(readFile(file.toLocalFile()), whole);
    }
}

TEST_F(WallpaperDownloadServiceReplyTest, AMasterSentOnToPlainHttpSaysSo)
{
    const auto failure = failureOf(service_.downloadWallpaper(server_.url(QStringLiteral("/insecure/master.mp4")), kKey, {}));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::networkError);
    EXPECT_EQ(failure->localizedDescription(),
        QStringLiteral("Network error: The server sent the download on to an address without encryption: ") + plainAddress().toString());
    EXPECT_TRUE(folderEntries().isEmpty());
}

// The bound a record's size text gives: a quarter more than the most the rounded text stands for.
TEST(VideoDownloadTest, TheBoundFollowsTheStatedSize)
{
    constexpr qint64 kMiB = 1 << 20;
    constexpr qint64 kUnstated = 7;
    struct Case {
        std::optional<QString> stated;
        qint64 bound;
    };
    for (const Case& c : {Case{QStringLiteral("50MB"), 51 * kMiB * 5 / 4}, Case{QStringLiteral("1MB"), 2 * kMiB * 5 / 4},
             Case{QStringLiteral("0MB"), kUnstated}, Case{QStringLiteral("000MB"), kUnstated},
             Case{QStringLiteral(" 12 MB "), 13 * kMiB * 5 / 4}, Case{std::nullopt, kUnstated}, Case{QStringLiteral(""), kUnstated},
             Case{QStringLiteral("1.5GB"), kUnstated}, Case{QStringLiteral("-3MB"), kUnstated},
             Case{QStringLiteral("99999999MB"), kUnstated}}) {
        SCOPED_TRACE(c.stated.value_or(QStringLiteral("(none)")).toStdString());
        EXPECT_EQ(VideoDownload::limitFor(c.stated, kUnstated), c.bound);
    }
}

} // namespace
