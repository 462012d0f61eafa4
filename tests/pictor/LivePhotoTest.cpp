#include "ManagerFixture.h"
#include "support/TaskWait.h"

#include "pictor/processing/BlackWhiteProcessor.h"
#include "pictor/processing/LivePhotoImageProcessor.h"
#include "pictor/retrieval/RawImageDataProvider.h"

#include <httplib.h>

using namespace pictor;
using FileType = LivePhotoResource::FileType;

TEST(LivePhotoResourceTest, FileTypeComesFromTheUrlOrTheBytes)
{
    EXPECT_EQ(FileType::of(QUrl(QStringLiteral("https://h/IMG.MOV"))), FileType::mov());
    EXPECT_EQ(FileType::of(QUrl(QStringLiteral("https://h/photo.HEIC"))), FileType::heic());
    EXPECT_EQ(FileType::of(QUrl(QStringLiteral("https://h/a.JPG"))), FileType::other(QStringLiteral("jpg")));
    EXPECT_EQ(FileType::of(QUrl(QStringLiteral("https://h/a"))), FileType::other(QString()));

    struct Case {
        FileType type;
        QByteArray bytes;
        std::optional<QString> extension;
    };
    const QByteArray heic("\0\0\0\x18" "ftypheic....", 16), movie("\0\0\0\x14" "ftypqt  ....", 16);
    for (const Case& c : {Case{FileType::heic(), {}, QStringLiteral("heic")}, Case{FileType::mov(), {}, QStringLiteral("mov")},
                          Case{FileType::other(QStringLiteral("jpg")), heic, QStringLiteral("jpg")},
                          Case{FileType::other({}), heic, QStringLiteral("heic")}, Case{FileType::other({}), movie, QStringLiteral("mov")},
                          Case{FileType::other({}), QByteArray("\0\0\0\x18" "ftypmp42", 12), std::nullopt},
                          Case{FileType::other({}), heic.left(11), std::nullopt}, Case{FileType::other({}), QByteArray(16, 'x'), std::nullopt}})
        EXPECT_EQ(c.type.determinedFileExtension(c.bytes), c.extension) << c.bytes.toHex().toStdString();
}

class LivePhotoRetrievalTest : public ManagerFixture {
protected:
    void SetUp() override
    {
        ManagerFixture::SetUp();
        server.routes().Get("/IMG.HEIC", [](const httplib::Request&, httplib::Response& response) { response.set_content("heic bytes", "image/heic"); });
        server.routes().Get("/IMG.MOV", [](const httplib::Request&, httplib::Response& response) { response.set_content("movie bytes", "video/quicktime"); });
    }
    LivePhotoSource photo() const { return LivePhotoSource::fromURLs({server.url(QStringLiteral("/IMG.HEIC")), server.url(QStringLiteral("/IMG.MOV"))}); }
    LivePhotoLoadingInfoResult retrieve(const LivePhotoSource& source, const PictorManager::OptionList& options = std::nullopt)
    {
        return waitForTask(manager->retrieveLivePhoto(source, options));
    }
    static QByteArray read(const QUrl& file)
    {
        QFile f(file.toLocalFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};

TEST_F(LivePhotoRetrievalTest, FetchesWhatIsMissingAndFindsItAgain)
{
    EXPECT_EQ(retrieve(LivePhotoSource()).cacheType, CacheType::disk);

    const LivePhotoLoadingInfoResult first = retrieve(photo());
    EXPECT_EQ(first.cacheType, CacheType::none);
    ASSERT_EQ(first.fileURLs.size(), 2);
    EXPECT_EQ(read(first.fileURLs[0]), "heic bytes");
    EXPECT_EQ(read(first.fileURLs[1]), "movie bytes");
    EXPECT_TRUE(first.fileURLs[0].path().endsWith(QStringLiteral(".heic")));
    EXPECT_EQ(first.data(), (QList<QByteArray>{"heic bytes", "movie bytes"}));
    EXPECT_EQ(first.fetchedFileURLs, first.fileURLs);

    const LivePhotoLoadingInfoResult second = retrieve(photo(), QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::processor(
                                                                    std::make_shared<const BlackWhiteProcessor>())});
    EXPECT_EQ(second.cacheType, CacheType::disk);
    EXPECT_TRUE(second.data().isEmpty());
    EXPECT_EQ(second.fileURLs, first.fileURLs);
    EXPECT_EQ(server.hits("/IMG.HEIC"), 1);

    // One file gone: only it is fetched.
    cache->removeImage(photo().resources[1].dataSource().cacheKey(), LivePhotoImageProcessor().identifier(), QStringLiteral("mov"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(first.fileURLs[1].toLocalFile()); }, 5000));
    const LivePhotoLoadingInfoResult third = retrieve(photo());
    EXPECT_EQ(third.cacheType, CacheType::none);
    EXPECT_EQ(third.data(), QList<QByteArray>{"movie bytes"});
    EXPECT_EQ(third.fetchedFileURLs, QList<QUrl>{first.fileURLs[1]});
    EXPECT_EQ(server.hits("/IMG.HEIC"), 1);

    retrieve(photo(), QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::forceRefresh()});
    EXPECT_EQ(server.hits("/IMG.HEIC"), 2);
    EXPECT_EQ(server.hits("/IMG.MOV"), 3);
}

TEST_F(LivePhotoRetrievalTest, BytesOfUnknownTypeAreStoredWhereTheyAreFoundAgain)
{
    const QByteArray heic("\0\0\0\x18" "ftypheic....", 16);
    const LivePhotoSource source(QList<LivePhotoResource>{
        LivePhotoResource(Source::provider(std::make_shared<RawImageDataProvider>(heic, QStringLiteral("still")))),
        LivePhotoResource(Source::provider(std::make_shared<RawImageDataProvider>("no signature", QStringLiteral("unknown"))))});
    const LivePhotoLoadingInfoResult first = retrieve(source);
    EXPECT_TRUE(first.fileURLs[0].path().endsWith(QStringLiteral(".heic")));
    EXPECT_EQ(read(first.fileURLs[1]), "no signature");
    const LivePhotoLoadingInfoResult second = retrieve(source);
    EXPECT_EQ(second.cacheType, CacheType::disk);
    EXPECT_EQ(second.fileURLs, first.fileURLs);
}

TEST_F(LivePhotoRetrievalTest, AFailedFetchFailsTheRetrieval)
{
    const LivePhotoSource source = LivePhotoSource::fromURLs({server.url(QStringLiteral("/slow.png")), server.url(QStringLiteral("/status/404"))});
    try {
        retrieve(source);
        FAIL() << "no error";
    } catch (const PictorError& error) {
        EXPECT_EQ(error.reason(), PictorError::Reason::invalidHTTPStatusCode);
    }
}
