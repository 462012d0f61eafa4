#include "screens/library/PlaylistArtwork.h"
#include "screens/library/PlaylistNameRules.h"
#include "screens/library/PlaylistPickerOffer.h"

#include <gtest/gtest.h>

namespace {

const QString kHost = QStringLiteral("assets.test");

WallpaperModel wallpaper(std::optional<qint64> key, const QString& category = QStringLiteral("Nature"))
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = key;
    model.category = category;
    return model;
}

QList<qint64> keysOf(const QList<WallpaperModel>& list)
{
    QList<qint64> keys;
    for (const WallpaperModel& model : list)
        keys.append(*model.key);
    return keys;
}

TEST(PlaylistNameRulesTest, TypedNamesAreCutToFifteenCharactersAndTwoWords)
{
    const QList<std::pair<QString, QString>> cases{
        {"Sunset Beaches!!", "Sunset Beaches!"},  // the 16th character goes
        {QString(40, u'x'), QString(15, u'x')},    // a long paste keeps 15
        {"Sunset beach d", "Sunset beach "},       // a third word begins: the space before it stays
        {"Sunset beach ", "Sunset beach "},        // a space after the second word stays
        {"Sunset  beach", "Sunset  beach"},        // two spaces between two words stay
        {"  one two three", "  one two "},         // three words after leading spaces
        {"  one", "  one"},                        // one word keeps its leading spaces
        {"a\tb c", "a\tb c"},                      // a tab does not split words
        {"🏖️🌅 beach 🌊", "🏖️🌅 beach "},           // emoji are characters
    };
    for (const auto& [typed, kept] : cases)
        EXPECT_EQ(PlaylistNameRules::limited(typed), kept) << typed.toStdString();

    // Typed a key at a time, as the field limits after each one: a third word never glues on.
    const QList<std::pair<QString, QString>> typing{
        {"Evening chill extra", "Evening chill "}, {"one two  three", "one two  "}, {"ab cd", "ab cd"}};
    for (const auto& [keys, kept] : typing) {
        QString field;
        for (const QChar key : keys)
            field = PlaylistNameRules::limited(field + key);
        EXPECT_EQ(field, kept) << keys.toStdString();
    }
}

TEST(PlaylistNameRulesTest, CreateNeedsAVisibleNameWithinTheLimitsRenameTrimsAndNeverStoresBlank)
{
    const QList<std::pair<QString, bool>> valid{
        {"", false}, {"   ", false}, {"\t", false}, {"  one", true}, {"one two", true}, {"one two three", false},
        {QString(16, u'x'), false}, {"fourteen chars ", true}};
    for (const auto& [name, expected] : valid)
        EXPECT_EQ(PlaylistNameRules::isValidNewName(name), expected) << name.toStdString();
    EXPECT_EQ(PlaylistNameRules::trimmed("fourteen chars "), "fourteen chars");

    EXPECT_EQ(PlaylistNameRules::renamed("  Evening  "), "Evening");
    EXPECT_EQ(PlaylistNameRules::renamed("   "), std::nullopt);
    EXPECT_EQ(PlaylistNameRules::renamed(""), std::nullopt);
    const QString long40 = QStringLiteral("one two three four five and more letters");
    EXPECT_EQ(PlaylistNameRules::renamed(long40), long40);
}

TEST(PlaylistArtworkTest, PreviewVideoOwnThenPartnerSiteCatalogueShowsItsImage)
{
    struct Case {
        const char* what;
        WallpaperModel model;
        std::optional<QUrl> expected;
    };
    WallpaperModel own = wallpaper(1, QStringLiteral("Custom"));
    own.imageUrl = QUrl(QStringLiteral("file:///videos/1.mp4"));
    WallpaperModel ownCapital = own;
    ownCapital.imageUrl = QUrl(QStringLiteral("file:///videos/1.MP4"));
    WallpaperModel ownMaster = wallpaper(2, QStringLiteral("Imported"));
    ownMaster.masterUrl = QUrl::fromLocalFile(QStringLiteral("/videos/2.mp4"));
    WallpaperModel partner = wallpaper(3);
    partner.isFromGravelnook = true;
    partner.previewhdUrl = QUrl(QStringLiteral("https://partner.test/3/hd.mp4"));
    WallpaperModel catalogue = wallpaper(4);
    catalogue.masterUrl = QUrl(QStringLiteral("https://assets.test/wallpaper/4/master.mp4"));
    const QList<Case> cases{
        {"own picture .mp4", own, own.imageUrl},
        {"own picture .MP4", ownCapital, std::nullopt},
        {"own by file master", ownMaster, ownMaster.masterUrl},
        {"partner HD preview", partner, partner.previewhdUrl},
        {"catalogue", catalogue, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaylistArtwork::cardPreviewVideoUrl(c.model), c.expected) << c.what;
    EXPECT_EQ(PlaylistArtwork::cardPreviewVideoUrl(std::nullopt), std::nullopt);
    // The sheets play only own videos.
    EXPECT_EQ(PlaylistArtwork::ownVideoUrl(partner), std::nullopt);
}

TEST(PlaylistArtworkTest, FirstWallpaperIsTheOwnRecordThenTheLikedOneAndGivesTheThumbnail)
{
    WallpaperPlaylist playlist;
    playlist.wallpaperKeys = {42, 7};
    WallpaperModel ownRecord = wallpaper(42, QStringLiteral("Custom"));
    WallpaperModel likedRecord = wallpaper(42);
    const WallpapersByKey own{{42, ownRecord}};
    const WallpapersByKey liked{{42, likedRecord}};
    EXPECT_EQ(PlaylistArtwork::firstWallpaper(playlist, own, liked)->category, QStringLiteral("Custom"));
    EXPECT_EQ(PlaylistArtwork::firstWallpaper(playlist, {}, liked)->id, likedRecord.id);
    EXPECT_EQ(PlaylistArtwork::firstWallpaper(playlist, {}, {}), std::nullopt);

    EXPECT_EQ(PlaylistArtwork::thumbnailUrl(playlist, likedRecord, kHost),
        QUrl(QStringLiteral("https://assets.test/wallpaper/42/poster.webp")));
    EXPECT_EQ(PlaylistArtwork::thumbnailUrl(playlist, likedRecord, std::nullopt), std::nullopt);
    EXPECT_EQ(PlaylistArtwork::thumbnailUrl(playlist, std::nullopt, kHost), std::nullopt);
    WallpaperModel partner = likedRecord;
    partner.isFromGravelnook = true;
    partner.imageUrl = QUrl(QStringLiteral("https://partner.test/42.jpg"));
    EXPECT_EQ(PlaylistArtwork::thumbnailUrl(playlist, partner, kHost), partner.imageUrl);

    EXPECT_EQ(PlaylistArtwork::pickerPosterUrl(likedRecord, kHost), QUrl(QStringLiteral("https://assets.test/wallpaper/42/poster.webp")));
    EXPECT_EQ(PlaylistArtwork::pickerPosterUrl(partner, kHost), partner.imageUrl);
}

TEST(PlaylistArtworkTest, TheCreateCardTakesTheFirstSixDiscoveredWallpapersWhenAHostIsKnown)
{
    QList<WallpaperResponseItem> discovered;
    for (qint64 key = 1; key <= 10; ++key) {
        WallpaperResponseItem item;
        item.key = key;
        discovered.append(item);
    }
    const auto ten = PlaylistArtwork::createCardMedia(discovered, kHost);
    EXPECT_EQ(ten.videos.size(), 6);
    EXPECT_EQ(ten.posters.size(), 6);
    EXPECT_EQ(ten.videos.first(), QUrl(QStringLiteral("https://assets.test/wallpaper/1/preview.mp4")));
    EXPECT_EQ(ten.posters.last(), QUrl(QStringLiteral("https://assets.test/wallpaper/6/poster.webp")));
    EXPECT_EQ(PlaylistArtwork::createCardMedia(discovered.mid(0, 3), kHost).videos.size(), 3);
    EXPECT_TRUE(PlaylistArtwork::createCardMedia(discovered, std::nullopt).posters.isEmpty());
}

TEST(PlaylistPickerOfferTest, OwnFirstEachKeyOnceTickedOrPlaylistWallpapersLead)
{
    const QList<WallpaperModel> own{wallpaper(1, "Custom"), wallpaper(2, "Custom"), wallpaper(std::nullopt, "Custom")};
    const QList<WallpaperModel> liked{wallpaper(10), wallpaper(2), wallpaper(11), wallpaper(std::nullopt)};
    const QList<WallpaperModel> combined = PlaylistPickerOffer::combined(own, liked);
    EXPECT_EQ(keysOf(combined), (QList<qint64>{1, 2, 10, 11}));
    EXPECT_EQ(combined.at(1).category, QStringLiteral("Custom"));

    EXPECT_EQ(keysOf(PlaylistPickerOffer::forNewPlaylist(combined, {11, 2})), (QList<qint64>{2, 11, 1, 10}));
    // The playlist's order leads; a key held twice or of a wallpaper not offered shows once or not.
    EXPECT_EQ(keysOf(PlaylistPickerOffer::forPlaylist(combined, {10, 99, 1, 10})), (QList<qint64>{10, 1, 2, 11}));
    EXPECT_TRUE(PlaylistPickerOffer::forPlaylist({}, {1, 2}).isEmpty());
}

} // namespace
