#include "library/OwnFixture.h"

#include "library/CommunityUploadService.h"
#include "library/PendingUploadService.h"
#include "library/SignedUploadURLService.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/ImmediateDelays.h"

#include <QSignalSpy>

namespace {

class CommunityUploadServiceTest : public OwnFixture {
protected:
    CommunityUploadServiceTest()
    {
        connect();
        pending_.setPendingFilePath(copyOf(Clip::Uhd, QStringLiteral("night-drive.mp4")));
    }
    void connect()
    {
        QObject::connect(&toast_, &NotificationManager::progressChanged, [this] { progress_.append(toast_.progress()); });
    }
    // Submits and waits for the outcome.
    bool upload(const QString& title = QStringLiteral("  night drive  "))
    {
        QSignalSpy finished(&uploads_, &CommunityUploadService::submissionFinished);
        EXPECT_TRUE(uploads_.submit(title, kCategory));
        EXPECT_TRUE(finished.wait(30'000));
        // The toast's updates land a turn later.
        QTest::qWait(50);
        return !finished.isEmpty() && finished.first().at(1).toBool();
    }
    int puts() const
    {
        int count = 0;
        for (const auto& upload : catalogue_.server().uploads().registered(device_))
            count += upload.fileBytes >= 0;
        return count;
    }

    const CategoryItem kCategory{QStringLiteral("City"), 2, std::nullopt};
    NotificationManager toast_;
    PendingUploadService pending_;
    SignedUploadURLService signedURLs_{defaults_, *api_, clock_, [this] { return device_; }};
    CommunityUploadService uploads_{{signedURLs_, pending_, *api_, Http::shared(), toast_, store_, media_, [this] { return device_; }}};
    QList<double> progress_;
};

TEST_F(CommunityUploadServiceTest, VideoReachesTheCatalogueAndStaysAmongOwnWallpapers)
{
    const QString file = *pending_.pendingFilePath();
    ASSERT_TRUE(upload());
    const auto uploads = catalogue_.server().uploads().registered(device_);
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0].title, QStringLiteral("night drive"));
    EXPECT_EQ(uploads[0].category, 2);
    EXPECT_EQ(uploads[0].fileBytes, QFileInfo(file).size());
    EXPECT_EQ(uploads[0].status, QStringLiteral("in review"));
    EXPECT_EQ(store_.customOrder(), QList<qint64>{uploads[0].key});
    EXPECT_EQ(store_.customWallpapers().value(uploads[0].key).category, QStringLiteral("City"));
    EXPECT_FALSE(pending_.pendingFilePath());
    EXPECT_EQ(toast_.message(), QStringLiteral("Upload successful!"));
    EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end())) << "the bar never moves back";
    EXPECT_EQ(progress_.last(), 1.0);
}

TEST_F(CommunityUploadServiceTest, KeyThatNamesNoFileFailsBeforeAnythingIsSent)
{
    setShape(QStringLiteral("request-upload-url"), QStringLiteral("letters-key"));
    const int registrations = requests(QStringLiteral("upload-wallpaper"));
    EXPECT_FALSE(upload());
    EXPECT_EQ(requests(QStringLiteral("upload-wallpaper")), registrations);
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [FullScreenView] Failed to submit form: Invalid wallpaper key format")));
    EXPECT_EQ(toast_.message(), QStringLiteral("Upload failed"));
    EXPECT_TRUE(pending_.pendingFilePath()) << "the user may try again";
}

TEST_F(CommunityUploadServiceTest, RefusedOrCutTransfersFailAndKeepNothing)
{
    for (const samplecatalogue::Fault& fault : {samplecatalogue::Fault{.status = 403}, samplecatalogue::Fault{.status = 500},
             samplecatalogue::Fault{.cutShort = true}}) {
        catalogue_.server().setFault(QStringLiteral("/uploads/"), fault);
        EXPECT_FALSE(upload());
        EXPECT_TRUE(log_.contains(QStringLiteral("❌ [FullScreenView] Failed to upload file: ")));
    }
    EXPECT_EQ(puts(), 1) << "only the transfer whose reply was cut reached the catalogue";
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
    EXPECT_TRUE(QDir(store_.folderPath()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(pending_.pendingFilePath());
}

// A toast shown while the upload runs (a personal-use import's, with its Stop) is left alone by
// every later step of the upload, its end and its hide included; once that toast hides, the
// upload's comes back and tells its end.
TEST_F(CommunityUploadServiceTest, AToastShownDuringTheUploadTakesItsTurnFirst)
{
    NotificationManager toast(immediateDelays());
    CommunityUploadService uploads{{signedURLs_, pending_, *api_, Http::shared(), toast, store_, media_, [this] { return device_; }}};
    bool stopped = false;
    QStringList messages;
    QObject::connect(&uploads, &CommunityUploadService::submissionProgress, &toast, [&](int, const QString& step) {
        if (step != QStringLiteral("Requesting upload URL..."))
            return;
        const NotificationManager::Ticket import = toast.show(QStringLiteral("Adding Video"), QStringLiteral("Copying…"), QImage(), 0.25, true);
        toast.setCancelAction(import, [&stopped] { stopped = true; });
        QObject::connect(&toast, &NotificationManager::messageChanged, &toast, [&] { messages.append(toast.message()); });
    });
    QSignalSpy finished(&uploads, &CommunityUploadService::submissionFinished);
    ASSERT_TRUE(uploads.submit(QStringLiteral("Night Drive"), kCategory));
    ASSERT_TRUE(finished.wait(30'000));
    ASSERT_TRUE(finished.first().at(1).toBool());
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_TRUE(toast.isPresented());
    EXPECT_EQ(toast.message(), QStringLiteral("Copying…"));
    EXPECT_EQ(toast.progress(), 0.25);
    toast.cancel();
    EXPECT_TRUE(stopped) << "the Stop is still the import's";

    QStringList shown;
    QObject::connect(&toast, &NotificationManager::isPresentedChanged, &toast, [&] {
        shown.append(toast.isPresented() ? toast.message() + QStringLiteral(" shown") : QStringLiteral("hidden"));
    });
    toast.hide(0);
    ASSERT_EVENTUALLY(shown.size() == 3, 10'000) << shown.join(u'|').toStdString();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("hidden"), QStringLiteral("Upload successful! shown"), QStringLiteral("hidden")}));
}

TEST_F(CommunityUploadServiceTest, NothingStartsWithoutAFileOrATitle)
{
    EXPECT_FALSE(uploads_.submit(QStringLiteral(" \n "), kCategory));
    pending_.setPendingFilePath(std::nullopt);
    EXPECT_FALSE(uploads_.submit(QStringLiteral("Night Drive"), kCategory));
    EXPECT_FALSE(toast_.isPresented());
    const std::pair<const char*, std::optional<qint64>> keys[] = {
        {"000123", 123}, {"+7", 7}, {"-4242", -4242}, {"12a", std::nullopt}, {"", std::nullopt}, {"99999999999999999999", std::nullopt}};
    for (const auto& [text, key] : keys)
        EXPECT_EQ(CommunityUploadService::parseWallpaperKey(QString::fromLatin1(text)), key) << text;
}

} // namespace
