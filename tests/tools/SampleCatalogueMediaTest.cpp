#include "CatalogueClient.h"
#include "support/SampleCatalogueFixture.h"

#include <sample-catalogue/MediaStore.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace samplecatalogue;

namespace {
// A 1920×1080 wallpaper of the seed: the quickest master to draw.
constexpr qint64 kKey = 1718000000137;

std::string assetPath(qint64 key, const char* file)
{
    return "/wallpaper/" + std::to_string(key) + "/" + file;
}

// The order of the top-level boxes of an MP4 file; a streamable file has "moov" before "mdat".
QStringList topLevelBoxes(const std::string& bytes)
{
    QStringList boxes;
    size_t offset = 0;
    while (offset + 8 <= bytes.size()) {
        const auto byte = [&](size_t i) { return quint64(quint8(bytes[offset + i])); };
        const quint64 size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        boxes << QString::fromLatin1(bytes.substr(offset + 4, 4).c_str());
        if (size < 8)
            break;
        offset += size;
    }
    return boxes;
}

QString probe(const QString& file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                              QStringLiteral("v:0"), QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                                              QStringLiteral("stream=codec_name,width,height,pix_fmt,nb_read_frames"),
                                              QStringLiteral("-of"), QStringLiteral("default=nw=1"), file});
    ffprobe.waitForFinished(60'000);
    return QString::fromUtf8(ffprobe.readAllStandardOutput() + ffprobe.readAllStandardError());
}

class SampleCatalogueMediaTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture_.isRunning()); }

    SampleCatalogueFixture fixture_;
    CatalogueClient client_{fixture_.server()};
};
} // namespace

TEST_F(SampleCatalogueMediaTest, PosterIsWebp)
{
    const auto reply = client_.get(assetPath(kKey, "poster.webp"));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->status, 200) << reply->body;
    EXPECT_EQ(reply->get_header_value("Content-Type"), "image/webp");
    ASSERT_GE(reply->body.size(), 12u);
    EXPECT_EQ(reply->body.substr(0, 4), "RIFF");
    EXPECT_EQ(reply->body.substr(8, 4), "WEBP");
}

TEST_F(SampleCatalogueMediaTest, MasterIsStreamableMp4ServedInRanges)
{
    const auto whole = client_.get(assetPath(kKey, "master.mp4"));
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->status, 200) << whole->body;
    EXPECT_EQ(whole->get_header_value("Content-Type"), "video/mp4");
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_EQ(std::stoul(whole->get_header_value("Content-Length")), whole->body.size());
    const QStringList boxes = topLevelBoxes(whole->body);
    ASSERT_FALSE(boxes.isEmpty());
    EXPECT_EQ(boxes.first(), QStringLiteral("ftyp"));
    EXPECT_LT(boxes.indexOf(QStringLiteral("moov")), boxes.indexOf(QStringLiteral("mdat")));

    const std::string size = std::to_string(whole->body.size());
    const auto head = client_.get(assetPath(kKey, "master.mp4"), {{"Range", "bytes=0-99"}});
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 206);
    EXPECT_EQ(head->get_header_value("Content-Range"), "bytes 0-99/" + size);
    EXPECT_EQ(head->body, whole->body.substr(0, 100));

    const auto tail = client_.get(assetPath(kKey, "master.mp4"), {{"Range", "bytes=100-99999999999"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_EQ(tail->body, whole->body.substr(100));

    const auto beyond = client_.get(assetPath(kKey, "master.mp4"), {{"Range", "bytes=" + size + "-"}});
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->status, 416);
    EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */" + size);
}

TEST_F(SampleCatalogueMediaTest, UnknownAssetsAreNotFoundAndDrawNothing)
{
    const int before = fixture_.server().media().generatedCount();
    EXPECT_EQ(client_.get(assetPath(42, "master.mp4"))->status, 404);
    EXPECT_EQ(client_.get(assetPath(kKey, "master.mkv"))->status, 404);
    EXPECT_EQ(fixture_.server().media().generatedCount(), before);
}

// Concurrent first requests for one missing file share a single ffmpeg run.
TEST(SampleCatalogueLazyMediaTest, FirstRequestsDrawOnePlayableFileOnce)
{
    QTemporaryDir media;
    SampleCatalogue::Options options = SampleCatalogueFixture::testOptions();
    options.mediaFolder = media.path();
    SampleCatalogueFixture fixture(options);
    ASSERT_TRUE(fixture.isRunning());

    std::vector<std::string> bodies(4);
    std::vector<std::thread> clients;
    for (std::string& body : bodies) {
        clients.emplace_back([&fixture, &body] {
            CatalogueClient client(fixture.server());
            client.raw().set_read_timeout(120);
            if (const auto reply = client.get(assetPath(kKey, "preview.mp4")); reply && reply->status == 200)
                body = reply->body;
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(fixture.server().media().generatedCount(), 1);
    ASSERT_FALSE(bodies.front().empty());
    for (const std::string& body : bodies)
        EXPECT_EQ(body, bodies.front());

    const QString file = media.filePath(QStringLiteral("served.mp4"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bodies.front().data(), qint64(bodies.front().size()));
    out.close();
    const QString probed = probe(file);
    EXPECT_TRUE(probed.contains(QLatin1String("codec_name=h264"))) << probed.toStdString();
    EXPECT_TRUE(probed.contains(QLatin1String("height=360"))) << probed.toStdString();
    EXPECT_TRUE(probed.contains(QLatin1String("pix_fmt=yuv420p"))) << probed.toStdString();
    EXPECT_TRUE(probed.contains(QRegularExpression(QStringLiteral("nb_read_frames=[1-9]")))) << probed.toStdString();
}

// The largest step in lightness between two neighbouring pixels of a row: a caption's letters or
// a test pattern's bars have sharp edges, colour fields have none.
int sharpestEdge(const QImage& picture)
{
    int sharpest = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 1; x < picture.width(); ++x)
            sharpest = std::max(sharpest, std::abs(qGray(picture.pixel(x, y)) - qGray(picture.pixel(x - 1, y))));
    return sharpest;
}

// A key looks the same however often its media is drawn, so that a picture a test judges does not
// change when the media folder is made anew. One key for each of the four patterns, in each look;
// the look for people has neither caption nor test pattern.
TEST(SampleCatalogueRecipeTest, EveryPatternDrawsTheSameFileEachTime)
{
    for (const MediaRecipe::Look look : {MediaRecipe::Look::TestPattern, MediaRecipe::Look::Scenery}) {
        for (const qint64 key : {qint64(1718000000136), qint64(1718000000137), qint64(1718000000138), qint64(1718000000139)}) {
            SCOPED_TRACE(look == MediaRecipe::Look::Scenery ? "scenery" : "test pattern");
            const MediaRecipe::Source source{.key = key, .title = QStringLiteral("Same Each Time")};
            QByteArray drawn[2];
            for (QByteArray& bytes : drawn) {
                QTemporaryDir folder;
                MediaStore store(folder.path(), QStringLiteral("ffmpeg"), look);
                QString error;
                QFile file(store.file(source, MediaRecipe::Asset::Thumbnail, &error));
                ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << key << ": " << error.toStdString();
                bytes = file.readAll();
            }
            EXPECT_FALSE(drawn[0].isEmpty()) << key;
            EXPECT_EQ(drawn[0], drawn[1]) << "pattern " << key % 4 << " drew two different pictures";
            const int edge = sharpestEdge(QImage::fromData(drawn[0], "WEBP"));
            if (look == MediaRecipe::Look::Scenery)
                EXPECT_LT(edge, 24) << key;
            else
                EXPECT_GT(edge, 64) << key << ": the caption";
        }
    }
}
