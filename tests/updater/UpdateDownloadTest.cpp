#include "UpdaterFixture.h"
#include "foundation/Log.h"
#include "platform/HttpError.h"
#include "support/SyncedFiles.h"
#include "support/TaskWait.h"
#include "support/TestHttpsServer.h"
#include "updater/UpdateError.h"
#include "updater/UpdateInfo.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdateDownloadTest : public UpdaterFixture {
protected:
    UpdateDownloadTest() { writeServed(QStringLiteral("Quorvelle.zip"), QByteArray(300'000, 'z')); }

    void writeServed(const QString& name, const QByteArray& content)
    {
        QFile file(served() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QUrl address(const QString& name) { return QUrl(catalogue_.server().baseUrl() + QStringLiteral("/updates/") + name); }
    QString download(const QUrl& url)
    {
        return waitForTask(service().downloadUpdate(UpdateInfo{url}, [this](std::optional<double> fraction) {
            fractions_.append(fraction);
        }));
    }
    // The files left in the download directory.
    QStringList downloaded() const { return QDir(UpdateCheckService::downloadDirectory()).entryList(QDir::Files | QDir::Hidden); }

    QList<std::optional<double>> fractions_;
    LogCapture log_;
};

TEST_F(UpdateDownloadTest, SavesTheFileUnderTheUpdateNameWithProgress)
{
    const SyncedFiles synced;
    const QString file = download(address(QStringLiteral("Quorvelle.zip")));
    EXPECT_EQ(file, UpdateCheckService::downloadDirectory() + QStringLiteral("/QuorvelleUpdate.zip"));
    EXPECT_EQ(contentOf(file), QByteArray(300'000, 'z'));
    EXPECT_FALSE(synced.contains(file)) << "a lost package is fetched again: no wait for the disk";
    EXPECT_EQ(downloaded(), QStringList{QStringLiteral("QuorvelleUpdate.zip")});
    ASSERT_FALSE(fractions_.isEmpty());
    EXPECT_EQ(fractions_.last(), 1.0);
    for (qsizetype i = 0; i < fractions_.size(); ++i) {
        ASSERT_TRUE(fractions_[i]);
        EXPECT_TRUE(*fractions_[i] >= 0 && *fractions_[i] <= 1);
        if (i > 0) {
            EXPECT_GE(*fractions_[i], *fractions_[i - 1]);
        }
    }
    EXPECT_TRUE(log_.contains(QStringLiteral("📥 [UpdateCheckService] File extension detected: .zip")));
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [UpdateCheckService] File size: 300000 bytes")));
}

TEST_F(UpdateDownloadTest, KeepsTheAddressExtensionAndDefaultsToADiskImage)
{
    writeServed(QStringLiteral("Quorvelle.ZIP"), "upper");
    writeServed(QStringLiteral("Quorvelle"), "bare");
    EXPECT_TRUE(download(address(QStringLiteral("Quorvelle.ZIP"))).endsWith(QStringLiteral("/QuorvelleUpdate.ZIP")));
    const QString bare = download(address(QStringLiteral("Quorvelle")));
    EXPECT_TRUE(bare.endsWith(QStringLiteral("/QuorvelleUpdate.dmg")));
    // A second download of the same kind replaces the first.
    writeServed(QStringLiteral("Quorvelle"), "newer");
    download(address(QStringLiteral("Quorvelle")));
    EXPECT_EQ(contentOf(bare), QByteArray("newer"));
    EXPECT_TRUE(log_.contains(QStringLiteral("📥 [UpdateCheckService] Removing existing file at destination...")));
}

TEST_F(UpdateDownloadTest, AnErrorStatusIsAnInvalidResponseAndLeavesNoFile)
{
    try {
        download(address(QStringLiteral("Missing.zip")));
        FAIL() << "the download succeeded";
    } catch (const UpdateError& error) {
        EXPECT_EQ(error.localizedDescription(), u"Invalid response");
        EXPECT_EQ(error.code(), -1);
        EXPECT_EQ(UpdateError::domain(), u"UpdateCheckService");
    }
    EXPECT_TRUE(downloaded().isEmpty());
}

TEST_F(UpdateDownloadTest, ACutTransferLeavesNoFile)
{
    samplecatalogue::Fault fault;
    fault.cutShort = true;
    catalogue_.server().setFault(QStringLiteral("/updates/Quorvelle.zip"), fault);
    EXPECT_THROW(download(address(QStringLiteral("Quorvelle.zip"))), HttpError);
    EXPECT_TRUE(downloaded().isEmpty());
}

TEST_F(UpdateDownloadTest, FetchesOnlyOverHttpsFromTheFeedsHost)
{
    const QString port = QString::number(catalogue_.server().port());
    const QList<QUrl> refused{
        QUrl(QStringLiteral("http://127.0.0.1:") + port + QStringLiteral("/updates/Quorvelle.zip")),
        QUrl(QStringLiteral("https://localhost:") + port + QStringLiteral("/updates/Quorvelle.zip")),
        QUrl(QStringLiteral("https://127.0.0.1:1/updates/Quorvelle.zip")),
        QUrl(QStringLiteral("file:///etc/passwd")),
    };
    for (const QUrl& url : refused) {
        EXPECT_THROW(download(url), UpdateError) << url.toString().toStdString();
        EXPECT_TRUE(log_.lines().last().startsWith(QStringLiteral("❌ [UpdateCheckService] Refusing to download")));
    }
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/updates/Quorvelle.zip")), 0);
}

TEST_F(UpdateDownloadTest, RedirectsAreFollowedOnlyOnTheFeedsHost)
{
    std::atomic<int> elsewhereFetches = 0;
    TestHttpsServer elsewhere;
    elsewhere.routes().Get("/Quorvelle.zip", [&elsewhereFetches](const httplib::Request&, httplib::Response& res) {
        ++elsewhereFetches;
        res.set_content("from elsewhere", "application/zip");
    });
    elsewhere.start();
    TestHttpsServer feedHost;
    feedHost.routes().Get("/updates/moved.zip", [&feedHost](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(feedHost.url(QStringLiteral("/updates/Quorvelle.zip")).toString().toStdString());
    });
    feedHost.routes().Get("/updates/Quorvelle.zip", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("from the feed's host", "application/zip");
    });
    feedHost.routes().Get("/updates/away.zip", [&elsewhere](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(elsewhere.url(QStringLiteral("/Quorvelle.zip")).toString().toStdString());
    });
    feedHost.start();
    UpdateCheckService service(feedHost.url(QStringLiteral("/appcast.xml")), environment());
    const auto download = [&service, &feedHost](const QString& path) {
        return waitForTask(service.downloadUpdate(UpdateInfo{feedHost.url(path)}, {}));
    };

    EXPECT_EQ(contentOf(download(QStringLiteral("/updates/moved.zip"))), QByteArray("from the feed's host"));
    EXPECT_THROW(download(QStringLiteral("/updates/away.zip")), UpdateError);
    EXPECT_EQ(elsewhereFetches, 0);
}

TEST_F(UpdateDownloadTest, AnUnknownTotalGivesNoFraction)
{
    // A chunked reply announces no length.
    TestHttpsServer server;
    server.routes().Get("/updates/Quorvelle.zip", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
            if (offset < 200'000) {
                // Pauses between chunks, so the client reports progress before the end.
                std::this_thread::sleep_for(std::chrono::milliseconds(offset > 0 ? 100 : 0));
                return sink.write(std::string(50'000, 'c').data(), 50'000);
            }
            sink.done();
            return true;
        });
    });
    server.start();
    UpdateCheckService service(server.url(QStringLiteral("/appcast.xml")), environment());
    waitForTask(service.downloadUpdate(UpdateInfo{server.url(QStringLiteral("/updates/Quorvelle.zip"))},
        [this](std::optional<double> fraction) { fractions_.append(fraction); }));
    // Only the end of the transfer makes the total known.
    EXPECT_TRUE(fractions_.contains(std::nullopt));
    for (const auto& fraction : fractions_)
        EXPECT_TRUE(!fraction || *fraction == 1.0);
}

} // namespace
