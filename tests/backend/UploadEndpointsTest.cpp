#include "CatalogueClientTest.h"

#include "backend/APIError.h"
#include "backend/UploadError.h"
#include "backend/WallpaperFileUpload.h"
#include "foundation/JsonReader.h"
#include "platform/FileError.h"

#include <QFile>
#include <QUuid>

namespace {

class UploadEndpointsTest : public CatalogueClientTest {
protected:
    // The catalogue outlives the test: a device of its own keeps the uploads apart.
    const QString kDevice = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();

    // A stand-in video of `size` bytes in the temporary folder.
    QString videoFile(qsizetype size)
    {
        const QString path = temp_.file(QStringLiteral("upload.mp4"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'v'));
        return path;
    }

    UploadURLResponse registeredUpload()
    {
        const UploadURLResponse address = waitForTask(api_->requestUploadURL(kDevice));
        EXPECT_TRUE(waitForTask(api_->uploadWallpaper(kDevice, QStringLiteral("My Loop"), 3, address.wallpaperKey)));
        return address;
    }
};

struct FileAddressCase {
    const char* name;
    const char* uploadUrl;
    const char* expected;
};

class FileAddressTest : public ::testing::TestWithParam<FileAddressCase> {};

TEST_P(FileAddressTest, AddsTheFileNameOnce)
{
    EXPECT_EQ(WallpaperFileUpload::fileURL(QString::fromLatin1(GetParam().uploadUrl), QStringLiteral("1900")),
        QUrl(QString::fromLatin1(GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(Addresses, FileAddressTest,
    ::testing::Values(FileAddressCase{"folder", "https://s.example/u/abc/?sig=x%2By", "https://s.example/u/abc/1900.mp4?sig=x%2By"},
        FileAddressCase{"folderWithoutSlash", "https://s.example/u/abc?sig=1", "https://s.example/u/abc/1900.mp4?sig=1"},
        FileAddressCase{"alreadyTheFile", "https://s.example/u/1900.mp4?sig=1", "https://s.example/u/1900.mp4?sig=1"},
        FileAddressCase{"hostOnly", "https://s.example", "https://s.example/1900.mp4"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST(WallpaperFileUploadTest, RefusesAddressesThatDoNotParse)
{
    for (const QString& address : {QString(), QStringLiteral("not a url"), QStringLiteral("https://exa mple/x")}) {
        try {
            WallpaperFileUpload::fileURL(address, QStringLiteral("1"));
            ADD_FAILURE() << address.toStdString();
        } catch (const UploadError& error) {
            EXPECT_EQ(error.localizedDescription(), QStringLiteral("Invalid upload URL"));
        }
    }
    EXPECT_EQ(UploadError::uploadFailed(403).localizedDescription(), QStringLiteral("Upload failed with status code: 403"));
    EXPECT_EQ(UploadError::constructURLFailed().localizedDescription(), QStringLiteral("Failed to construct upload URL"));
    EXPECT_EQ(UploadError::invalidResponse().localizedDescription(), QStringLiteral("Invalid response"));
}

TEST_F(UploadEndpointsTest, AnUploadFromAddressToReview)
{
    const UploadURLResponse address = waitForTask(api_->requestUploadURL(kDevice));
    EXPECT_EQ(lastRequest(QStringLiteral("request-upload-url")).body, QStringLiteral(R"({"device_uuid":"%1"})").arg(kDevice).toUtf8());
    EXPECT_EQ(address.expiresIn, 3600);

    EXPECT_TRUE(waitForTask(api_->uploadWallpaper(kDevice, QStringLiteral("My Loop"), 3, address.wallpaperKey)));
    const JsonReader metadata = JsonReader::parse(lastRequest(QStringLiteral("upload-wallpaper")).body);
    EXPECT_EQ(metadata.requiredInt64("category"), 3);
    EXPECT_EQ(metadata.requiredString("wallpaper_key"), address.wallpaperKey);
    EXPECT_EQ(metadata.requiredString("title"), QStringLiteral("My Loop"));
    EXPECT_EQ(waitForTask(api_->checkUploadStatus(kDevice)),
        (QHash<qint64, QString>{{address.wallpaperKey.toLongLong(), QStringLiteral("pending upload")}}));

    constexpr qsizetype kSize = 3 * 1024 * 1024 + 5;
    qint64 lastDone = 0;
    qint64 lastTotal = 0;
    QCoro::waitFor(WallpaperFileUpload::send(address.uploadUrl, address.wallpaperKey, videoFile(kSize),
        [&](qint64 done, qint64 total) {
            lastDone = done;
            lastTotal = total;
        }));
    EXPECT_EQ(lastDone, kSize);
    EXPECT_EQ(lastTotal, kSize);
    const auto upload = server().uploads().upload(address.wallpaperKey.toLongLong());
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->fileBytes, kSize);

    const auto put = server().lastRequest(WallpaperFileUpload::fileURL(address.uploadUrl, address.wallpaperKey).path());
    ASSERT_TRUE(put);
    EXPECT_EQ(put->method, "PUT");
    EXPECT_EQ(put->header("content-type"), "video/mp4");
    EXPECT_FALSE(put->headers.contains("authorization"));
    EXPECT_FALSE(put->headers.contains("accept"));

    server().uploads().setStatus(address.wallpaperKey.toLongLong(), QStringLiteral("approved"));
    EXPECT_EQ(waitForTask(api_->checkUploadStatus(kDevice)).value(address.wallpaperKey.toLongLong()), QStringLiteral("approved"));
}

TEST_F(UploadEndpointsTest, EveryAddressShapeReachesTheSameFile)
{
    for (const QString& shape : {QStringLiteral("folder"), QStringLiteral("folder-no-slash"), QStringLiteral("file")}) {
        setShape(QStringLiteral("request-upload-url"), shape);
        const UploadURLResponse address = registeredUpload();
        QCoro::waitFor(WallpaperFileUpload::send(address.uploadUrl, address.wallpaperKey, videoFile(1000)));
        EXPECT_EQ(server().uploads().upload(address.wallpaperKey.toLongLong())->fileBytes, 1000) << shape.toStdString();
    }
}

TEST_F(UploadEndpointsTest, RefusedTransferReportsTheStatus)
{
    const UploadURLResponse address = registeredUpload();
    const QString tampered = QString(address.uploadUrl).replace(QStringLiteral("signature="), QStringLiteral("signature=x"));
    const auto error = failureOf<UploadError>(WallpaperFileUpload::send(tampered, address.wallpaperKey, videoFile(10)));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 403);
    EXPECT_EQ(error->localizedDescription(), QStringLiteral("Upload failed with status code: 403"));

    EXPECT_TRUE(failureOf<FileError>(WallpaperFileUpload::send(address.uploadUrl, address.wallpaperKey,
        temp_.file(QStringLiteral("missing.mp4")))));
}

TEST_F(UploadEndpointsTest, AddressReplyOfTheWrongShapeIsADecodingError)
{
    for (const QString& shape : {QStringLiteral("numeric-key"), QStringLiteral("no-expiry")}) {
        setShape(QStringLiteral("request-upload-url"), shape);
        const auto error = failureOf<APIError>(api_->requestUploadURL(kDevice));
        ASSERT_TRUE(error) << shape.toStdString();
        EXPECT_EQ(error->kind(), APIError::Kind::DecodingError);
        EXPECT_TRUE(error->localizedDescription().startsWith(QStringLiteral("Failed to decode response: ")));
    }
    setFault(QStringLiteral("request-upload-url"), samplecatalogue::Fault{500, 0, false, false, 1});
    const auto failed = failureOf<APIError>(api_->requestUploadURL(kDevice));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->kind(), APIError::Kind::HttpError);
}

TEST_F(UploadEndpointsTest, RegistrationStatuses)
{
    const UploadURLResponse address = registeredUpload();
    const auto again = failureOf<APIError>(api_->uploadWallpaper(kDevice, QStringLiteral("Again"), 3, address.wallpaperKey));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->statusCode(), 409);

    // Any 2xx counts, whatever the body says.
    const UploadURLResponse second = waitForTask(api_->requestUploadURL(kDevice));
    setFault(QStringLiteral("upload-wallpaper"), samplecatalogue::Fault{202, 0, false, false, 1});
    EXPECT_TRUE(waitForTask(api_->uploadWallpaper(kDevice, QStringLiteral("Other"), 3, second.wallpaperKey)));
}

TEST_F(UploadEndpointsTest, StatusCallIsNeverCachedAndEscapesTheDevice)
{
    const QString oddDevice = QStringLiteral("my device & co+1");
    EXPECT_TRUE(waitForTask(api_->checkUploadStatus(oddDevice)).isEmpty());
    EXPECT_TRUE(waitForTask(api_->checkUploadStatus(oddDevice)).isEmpty());
    EXPECT_EQ(requests(QStringLiteral("check-upload-status")), 2);
    EXPECT_EQ(lastRequest(QStringLiteral("check-upload-status")).query,
        (QList<std::pair<QString, QString>>{{QStringLiteral("device_uuid"), oddDevice}}));
}

TEST_F(UploadEndpointsTest, StatusReplies)
{
    const UploadURLResponse first = registeredUpload();
    const UploadURLResponse second = registeredUpload();
    setShape(QStringLiteral("check-upload-status"), QStringLiteral("repeated-key"));
    const QHash<qint64, QString> statuses = waitForTask(api_->checkUploadStatus(kDevice));
    EXPECT_EQ(statuses, (QHash<qint64, QString>{{first.wallpaperKey.toLongLong(), QStringLiteral("pending upload")},
                            {second.wallpaperKey.toLongLong(), QStringLiteral("pending upload")}}));

    setShape(QStringLiteral("check-upload-status"), QStringLiteral("text-key"));
    EXPECT_TRUE(failureOf<JsonError>(api_->checkUploadStatus(kDevice)));
}
