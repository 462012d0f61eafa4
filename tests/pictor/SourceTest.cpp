#include "pictor/retrieval/Base64ImageDataProvider.h"
#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/LocalFileImageDataProvider.h"
#include "pictor/retrieval/RawImageDataProvider.h"
#include "pictor/retrieval/Source.h"

#include <gtest/gtest.h>

using namespace pictor;

struct KeyCase {
    const char* url;
    const char* key;
};

class LocalFileKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(LocalFileKeyTest, KeyStartsAtTheNearestBundleAndKeepsTheQuery)
{
    EXPECT_EQ(localFileCacheKey(QUrl(QString::fromUtf8(GetParam().url))), QString::fromUtf8(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LocalFileKeyTest,
    ::testing::Values(KeyCase{"file:///tmp/a.png", "pictor.local.cacheKey///tmp/a.png"},
                      KeyCase{"file:///Applications/Foo.app/Contents/Resources/a.png", "pictor.local.cacheKey/Foo.app/Contents/Resources/a.png"},
                      KeyCase{"file:///elsewhere/Foo.app/Contents/Resources/a.png", "pictor.local.cacheKey/Foo.app/Contents/Resources/a.png"},
                      KeyCase{"file:///A/Host.app/Contents/PlugIns/Ext.appex/Contents/Resources/i.png",
                              "pictor.local.cacheKey/Ext.appex/Contents/Resources/i.png"},
                      KeyCase{"file:///x/y.app.backup/i.png", "pictor.local.cacheKey///x/y.app.backup/i.png"},
                      KeyCase{"file:///x/y.APP/i.png", "pictor.local.cacheKey///x/y.APP/i.png"},
                      KeyCase{"file:///tmp/a.png?v=2", "pictor.local.cacheKey///tmp/a.png?v=2"},
                      KeyCase{"file:///tmp/a.png?", "pictor.local.cacheKey///tmp/a.png?"},
                      KeyCase{"file:///tmp/a.png#frag", "pictor.local.cacheKey///tmp/a.png"}),
    [](const auto& test) { return "Case" + std::to_string(test.index); });

TEST(SourceTest, ResourcesBecomeNetworkOrLocalFileSources)
{
    const QUrl remote(QStringLiteral("https://host/a.png?x=1"));
    const Source network = ImageResource(remote).convertToSource();
    ASSERT_TRUE(network.isNetwork());
    EXPECT_EQ(network.cacheKey(), remote.toString());
    EXPECT_EQ(network.url(), remote);
    EXPECT_EQ(ImageResource(remote).convertToSource(QStringLiteral("over")).cacheKey(), QStringLiteral("over"));

    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a.png"));
    for (const std::optional<QString>& override : {std::optional<QString>(), std::optional<QString>(QStringLiteral("over"))}) {
        const Source local = ImageResource(file, QStringLiteral("own")).convertToSource(override);
        ASSERT_FALSE(local.isNetwork());
        EXPECT_EQ(local.cacheKey(), override.value_or(QStringLiteral("own")));
        EXPECT_EQ(local.url(), file);
        EXPECT_TRUE(std::dynamic_pointer_cast<const LocalFileImageDataProvider>(local.dataProvider()));
    }
}

TEST(SourceTest, EqualityAndHashFollowKindKeyAndUrl)
{
    const QUrl url(QStringLiteral("https://host/a.png"));
    const auto raw = [](const char* bytes, const char* key) {
        return Source::provider(std::make_shared<RawImageDataProvider>(QByteArray(bytes), QString::fromUtf8(key)));
    };
    const Source network = Source::network(std::make_shared<ImageResource>(url, QStringLiteral("k")));
    // Providers without a content URL are told apart by key only.
    EXPECT_EQ(raw("a", "k"), raw("b", "k"));
    EXPECT_EQ(qHash(raw("a", "k")), qHash(raw("b", "k")));
    EXPECT_EQ(Source::provider(std::make_shared<Base64ImageDataProvider>(QStringLiteral("AA=="), QStringLiteral("k"))), raw("x", "k"));
    EXPECT_NE(raw("a", "k"), raw("a", "other"));
    EXPECT_EQ(network, Source::network(std::make_shared<ImageResource>(url, QStringLiteral("k"))));
    EXPECT_NE(network, Source::network(std::make_shared<ImageResource>(QUrl(QStringLiteral("https://host/b.png")), QStringLiteral("k"))));
    // Same key and URL, but one is a network source and one a provider.
    const Source local = Source::provider(std::make_shared<LocalFileImageDataProvider>(url, QStringLiteral("k")));
    EXPECT_NE(network, local);
    EXPECT_NE(local, raw("a", "k"));
}
