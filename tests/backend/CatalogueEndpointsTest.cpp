#include "CatalogueClientTest.h"

#include "backend/APIError.h"
#include "foundation/JsonError.h"
#include "foundation/Log.h"

#include <QJsonDocument>

namespace {

using Query = QList<std::pair<QString, QString>>;
using Items = QList<WallpaperResponseItem>;

QList<qint64> keysOf(const Items& items)
{
    QList<qint64> keys;
    for (const WallpaperResponseItem& item : items)
        keys.append(item.key);
    return keys;
}

class CatalogueEndpointsTest : public CatalogueClientTest {};

// One list call of the client and the endpoint that answers it.
struct ListCall {
    const char* name;
    const char* endpoint;
    std::function<QCoro::Task<Items>(APIService&)> call;
};

const QList<ListCall> kListCalls{
    {"byMode", "get-wallpapers", [](APIService& api) { return api.getWallpapers(QStringLiteral("download"), 6, 1); }},
    {"byCategory", "get-wallpapers-by-category",
        [](APIService& api) { return api.getWallpapersByCategory(1, 6, 1, QStringLiteral("latest")); }},
    {"byKey", "get-wallpapers-by-id", [](APIService& api) { return api.getWallpapersById({1718000000174, 1718000000211}); }},
    {"suggestions", "wallpaper-suggestions", [](APIService& api) { return api.getWallpaperSuggestions(1718000000174); }},
};

class ListShapesTest : public CatalogueClientTest, public ::testing::WithParamInterface<ListCall> {};

TEST_P(ListShapesTest, AcceptsTheEnvelopeAndABareArrayOnly)
{
    const QString endpoint = QString::fromLatin1(GetParam().endpoint);
    // Each shape gets a client with nothing cached.
    const Items usual = waitForTask(GetParam().call(*freshClient()));
    ASSERT_FALSE(usual.isEmpty());

    setShape(endpoint, QStringLiteral("bare-array"));
    EXPECT_EQ(keysOf(waitForTask(GetParam().call(*freshClient()))), keysOf(usual));

    // An item without a key is left out; the others stay.
    setShape(endpoint, QStringLiteral("keyless-item"));
    EXPECT_EQ(keysOf(waitForTask(GetParam().call(*freshClient()))), keysOf(usual));

    for (const QString& shape : {QStringLiteral("data"), QStringLiteral("results"), QStringLiteral("empty-object"),
             QStringLiteral("text")}) {
        setShape(endpoint, shape);
        EXPECT_TRUE(failureOf<JsonError>(GetParam().call(*freshClient()))) << shape.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, ListShapesTest, ::testing::ValuesIn(kListCalls),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST_F(CatalogueEndpointsTest, WallpapersByModeSendTheirQueryInOrder)
{
    waitForTask(api_->getWallpapers(QStringLiteral("recent"), 6, 1));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers")).query,
        (Query{{QStringLiteral("mode"), QStringLiteral("recent")}, {QStringLiteral("limit"), QStringLiteral("6")},
            {QStringLiteral("page"), QStringLiteral("1")}}));

    const Items lockscreen = waitForTask(api_->getWallpapers(QStringLiteral("download"), 20, 1, QStringLiteral("lockscreen")));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers")).query.last(),
        std::pair(QStringLiteral("type"), QStringLiteral("lockscreen")));
    ASSERT_FALSE(lockscreen.isEmpty());
    for (const WallpaperResponseItem& item : lockscreen)
        EXPECT_EQ(item.for_lockscreen, true);

    // A seed goes last, after everything a request without one sends.
    waitForTask(api_->getWallpapers(QStringLiteral("random"), 20, 2, QStringLiteral("lockscreen"), -7));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers")).query,
        (Query{{QStringLiteral("mode"), QStringLiteral("random")}, {QStringLiteral("limit"), QStringLiteral("20")},
            {QStringLiteral("page"), QStringLiteral("2")}, {QStringLiteral("type"), QStringLiteral("lockscreen")},
            {QStringLiteral("seed"), QStringLiteral("-7")}}));
}

TEST_F(CatalogueEndpointsTest, WallpapersByCategorySendSortAndSeedOnlyWhenGiven)
{
    const Items items = waitForTask(api_->getWallpapersByCategory(99, 6, 1, QStringLiteral("latest")));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers-by-category")).query,
        (Query{{QStringLiteral("category"), QStringLiteral("99")}, {QStringLiteral("limit"), QStringLiteral("6")},
            {QStringLiteral("page"), QStringLiteral("1")}, {QStringLiteral("sort_by"), QStringLiteral("latest")}}));
    EXPECT_EQ(items.size(), 5);

    waitForTask(api_->getWallpapersByCategory(99, 6, 1, QStringLiteral("random"), -7));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers-by-category")).query.last(),
        std::pair(QStringLiteral("seed"), QStringLiteral("-7")));
}

TEST_F(CatalogueEndpointsTest, RandomOrdersAreNeverTakenFromTheCache)
{
    for (int i = 0; i < 2; ++i) {
        waitForTask(api_->getWallpapersByCategory(1, 6, 1, QStringLiteral("random")));
        waitForTask(api_->getWallpapers(QStringLiteral("random"), 6, 1));
        waitForTask(api_->getWallpapers(QStringLiteral("random"), 6, 1, std::nullopt, 5));
        waitForTask(api_->getWallpapersByCategory(1, 6, 1, QStringLiteral("latest")));
    }
    EXPECT_EQ(requests(QStringLiteral("get-wallpapers-by-category")), 3);
    EXPECT_EQ(requests(QStringLiteral("get-wallpapers")), 4);
}

TEST_F(CatalogueEndpointsTest, WallpapersByKeyJoinTheKeysInTheCallersOrder)
{
    const Items items = waitForTask(api_->getWallpapersById({9007199254740993, -4242, 1718000000137}));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers-by-id")).query,
        (Query{{QStringLiteral("keys"), QStringLiteral("9007199254740993,-4242,1718000000137")}}));
    EXPECT_EQ(keysOf(items), (QList<qint64>{9007199254740993, -4242, 1718000000137}));

    EXPECT_TRUE(waitForTask(api_->getWallpapersById({})).isEmpty());
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers-by-id")).query, (Query{{QStringLiteral("keys"), QString()}}));
}

TEST_F(CatalogueEndpointsTest, ResolutionPageComesWithItsPaginationOnly)
{
    const ResolutionWallpapersResponse page = waitForTask(api_->getWallpapersByResolution(QStringLiteral("4K"), 4, 1));
    EXPECT_EQ(lastRequest(QStringLiteral("get-wallpapers-by-resolution")).query,
        (Query{{QStringLiteral("filter"), QStringLiteral("4K")}, {QStringLiteral("limit"), QStringLiteral("4")},
            {QStringLiteral("page"), QStringLiteral("1")}}));
    EXPECT_EQ(page.wallpapers.size(), 4);
    EXPECT_TRUE(page.pagination.hasMore);
    EXPECT_EQ(page.pagination.nextPage, 2);
    EXPECT_EQ(page.pagination.filter, QStringLiteral("4K"));

    setShape(QStringLiteral("get-wallpapers-by-resolution"), QStringLiteral("bare-array"));
    EXPECT_TRUE(failureOf<JsonError>(freshClient()->getWallpapersByResolution(QStringLiteral("4K"), 4, 1)));
}

TEST_F(CatalogueEndpointsTest, CategoriesAndHomePage)
{
    const QList<CategoryItem> categories = waitForTask(api_->getCategories());
    ASSERT_EQ(categories.size(), 8);
    EXPECT_EQ(categories[1].wallpaperKey, 9007199254740993);
    EXPECT_FALSE(categories[6].wallpaperKey);

    const HomePageResponse home = waitForTask(api_->getHomePage());
    EXPECT_EQ(home.heroCarousel.title, QStringLiteral("Featured"));
    EXPECT_EQ(home.heroCarousel.data.size(), 5);
    EXPECT_EQ(home.sections.size(), 6);
    EXPECT_FALSE(home.sections.value(QStringLiteral("new_arrivals")).title);
    EXPECT_TRUE(home.sections.value(QStringLiteral("coming_soon")).data.isEmpty());

    setShape(QStringLiteral("get-categories"), QStringLiteral("bare-array"));
    EXPECT_TRUE(failureOf<JsonError>(freshClient()->getCategories()));
}

// The store asks again while it has no categories; the cache must not answer for the backend.
TEST_F(CatalogueEndpointsTest, AnEmptyCategoryListIsNeverACacheHit)
{
    setShape(QStringLiteral("get-categories"), QStringLiteral("empty"));
    EXPECT_TRUE(waitForTask(api_->getCategories()).isEmpty());
    setShape(QStringLiteral("get-categories"), QString());
    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8);
    EXPECT_EQ(waitForTask(api_->getCategories()).size(), 8);
    EXPECT_EQ(requests(QStringLiteral("get-categories")), 2);
}

TEST_F(CatalogueEndpointsTest, PartnerLookupIsNeverCachedAndNeedsSuccess)
{
    const GravelnookData koi = waitForTask(api_->getGravelnookWallpaper(QStringLiteral("501")));
    EXPECT_EQ(koi.slug, QStringLiteral("koi-pond-at-dusk"));
    EXPECT_EQ(koi.durationSeconds, 4);
    EXPECT_TRUE(koi.videoUrl.startsWith(server().baseUrl()));
    EXPECT_FALSE(waitForTask(api_->getGravelnookWallpaper(QStringLiteral("lantern-street"))).resolution);
    waitForTask(api_->getGravelnookWallpaper(QStringLiteral("501")));
    EXPECT_EQ(requests(QStringLiteral("gravel-nook")), 3);

    setShape(QStringLiteral("gravel-nook"), QStringLiteral("failure"));
    const auto refused = failureOf<APIError>(api_->getGravelnookWallpaper(QStringLiteral("501")));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), APIError::Kind::InvalidResponseFormat);
    EXPECT_EQ(refused->localizedDescription(), QStringLiteral("Response format is not valid JSON"));

    const auto unknown = failureOf<APIError>(api_->getGravelnookWallpaper(QStringLiteral("a b&c=d+e#f")));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->statusCode(), 404);
    EXPECT_EQ(lastRequest(QStringLiteral("gravel-nook")).query, (Query{{QStringLiteral("id"), QStringLiteral("a b&c=d+e#f")}}));
}

TEST_F(CatalogueEndpointsTest, SuggestionsPostTheKeyAsANumber)
{
    const Items related = waitForTask(api_->getWallpaperSuggestions(9007199254740993));
    const auto sent = lastRequest(QStringLiteral("wallpaper-suggestions"));
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.body, QByteArray(R"({"key":9007199254740993})"));
    EXPECT_TRUE(sent.query.isEmpty());
    ASSERT_FALSE(related.isEmpty());
    for (const WallpaperResponseItem& item : related)
        EXPECT_EQ(item.categoryId, 2);

    waitForTask(api_->getWallpaperSuggestions(9007199254740993));
    EXPECT_EQ(requests(QStringLiteral("wallpaper-suggestions")), 2);
}

TEST_F(CatalogueEndpointsTest, AnItemWithAnUnreadableNumberIsLeftOutAndTheRestShows)
{
    const auto itemCount = [](const HomePageResponse& home) {
        qsizetype count = home.heroCarousel.data.size();
        for (const HomeSectionData& section : home.sections)
            count += section.data.size();
        return count;
    };
    const qsizetype whole = itemCount(waitForTask(freshClient()->getHomePage()));
    const qsizetype listed = waitForTask(freshClient()->getWallpapers(QStringLiteral("download"), 6, 1)).size();
    ASSERT_GT(whole, 1);

    samplecatalogue::Fault oneBadNumber;
    oneBadNumber.rewritePattern = QStringLiteral(R"("likes":\s*\d+)");
    oneBadNumber.rewriteWith = QStringLiteral(R"("likes":-1e300)");
    for (const char* endpoint : {"get-home-page", "get-wallpapers"})
        setFault(QString::fromUtf8(endpoint), oneBadNumber);
    LogCapture log;
    EXPECT_EQ(itemCount(waitForTask(freshClient()->getHomePage())), whole - 1);
    EXPECT_EQ(waitForTask(freshClient()->getWallpapers(QStringLiteral("download"), 6, 1)).size(), listed - 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("Left out wallpaper")).size(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("likes: the number -1e+300 cannot be read exactly as a 64-bit integer")));
}

TEST_F(CatalogueEndpointsTest, FailuresOfTheRequestPassUnchanged)
{
    setFault(QStringLiteral("get-wallpapers"), samplecatalogue::Fault{503, 0, false, false, 1});
    const auto error = failureOf<APIError>(api_->getWallpapers(QStringLiteral("recent"), 6, 1));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 503);

    setFault(QStringLiteral("get-home-page"), samplecatalogue::Fault{0, 0, false, true, 1});
    EXPECT_TRUE(failureOf<JsonError>(api_->getHomePage()));
}
