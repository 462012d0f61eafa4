#include "Backdrop.h"
#include "Pointer.h"
#include "Screenshot.h"
#include "support/TestHttpsServer.h"
#include "platform/Http.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "library/LikedWallpapersService.h"
#include "ui/AppLogo.h"
#include "ui/DiscordIcon.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/FooterView.h"
#include "ui/GlassBackground.h"
#include "ui/LikeButton.h"
#include "ui/LoadingIndicator.h"
#include "ui/LockscreenExclusiveChip.h"
#include "ui/NavButtonBar.h"
#include "ui/NavIconButton.h"
#include "ui/PlaceholderPosterCard.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/TranslucentBackground.h"

#include <QBuffer>
#include <QDirIterator>
#include <QHBoxLayout>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

TEST(WidgetLook, BackgroundIsTheExactColour)
{
    TranslucentBackground background;
    background.resize(80, 60);
    const QImage picture = saveScreenshot(background, QStringLiteral("background"));
    for (const QPoint point : {QPoint(0, 0), QPoint(40, 30), QPoint(79, 59)})
        EXPECT_EQ(picture.pixelColor(point), QColor(29, 33, 35));
    EXPECT_EQ(Theme::palette().color(QPalette::Window), QColor(29, 33, 35));
}

TEST(WidgetLook, SelectedChipIsWhiteWithBlackText)
{
    auto* selected = new FilterChip(QStringLiteral("Popular"), true);
    auto* plain = new FilterChip(QStringLiteral("Newest"));
    auto* hovered = new FilterChip(QStringLiteral("Oldest"));
    auto* lockscreen = new LockscreenExclusiveChip;
    auto* lockscreenHovered = new LockscreenExclusiveChip;
    const Shot shot = shoot(QStringLiteral("chips"), {selected, plain, hovered, lockscreen, lockscreenHovered}, false, [&] {
        hoverOver(*hovered, true);
        hoverOver(*lockscreenHovered, true);
    });
    const QImage& picture = shot.picture;
    const int r = int(picture.devicePixelRatio());
    const QRect chip = shot.frames[0];
    // Inside the left padding: the capsule's own colour.
    EXPECT_EQ(picture.pixelColor(chip.left() + 12 * r, chip.center().y()), QColor(Qt::white));
    int darkest = 255;
    for (int x = chip.left() + 18 * r; x < chip.right() - 18 * r; ++x)
        for (int y = chip.top() + 9 * r; y < chip.bottom() - 9 * r; ++y)
            darkest = std::min(darkest, qGray(picture.pixel(x, y)));
    EXPECT_LT(darkest, 30) << "the title is drawn black";
    EXPECT_LT(qGray(picture.pixel(shot.frames[1].left() + 12 * r, shot.frames[1].center().y())), 40);
}

TEST(WidgetLook, ChipsRowWraps)
{
    auto* row = new FilterChipsRow;
    row->setItems({QStringLiteral("Newest"), QStringLiteral("Popular"), QStringLiteral("Nature"), QStringLiteral("Space"),
        QStringLiteral("Cities at Night"), FilterChipsRow::kMonochromeTitle, QStringLiteral("Abstract")});
    row->setSelectedItem(QStringLiteral("Nature"));
    row->setFixedSize(360, row->heightForWidth(360));
    shoot(QStringLiteral("chips-row"), {row});
}

TEST(WidgetLook, NavigationBars)
{
    NavIconButton* search = NavIconButton::search();
    NavIconButton* hoveredSearch = NavIconButton::search();
    NavIconButton* activeSearch = NavIconButton::search();
    NavIconButton* upload = NavIconButton::upload();
    NavIconButton* settings = NavIconButton::settings();
    settings->setActive(true);
    activeSearch->setActive(true);
    const QList<QWidget*> bars{new NavButtonBar({search}), new NavButtonBar({hoveredSearch}), new NavButtonBar({activeSearch}),
        new NavButtonBar({upload, settings})};
    const QList<NavIconButton*> buttons{search, hoveredSearch, activeSearch, upload, settings};
    QList<QRect> places; // in the window, as laid out when the picture is taken
    const Shot shot = shoot(QStringLiteral("nav-bars"), bars, false, [&] {
        hoverOver(*hoveredSearch, true);
        for (const NavIconButton* button : buttons)
            places.append(QRect(button->mapTo(button->window(), QPoint(0, 0)), button->size()));
    });
    ASSERT_EQ(places.size(), buttons.size());
    const qreal r = shot.picture.devicePixelRatio();
    const auto gray = [&](QPoint at) { return qGray(shot.picture.pixel((QPointF(at) * r).toPoint())); };
    // Inside the round capsule, left of the symbol: where the capsule's own fill shows.
    const auto capsule = [&](int i) { return gray(QPoint(places[i].left() + 3, places[i].center().y())); };
    // The brightest and darkest points of the symbol's box.
    const auto symbolRange = [&](int i) {
        int lightest = 0;
        int darkest = 255;
        const QRect box = places[i].adjusted(6, 6, -6, -6);
        for (int x = box.left(); x <= box.right(); ++x)
            for (int y = box.top(); y <= box.bottom(); ++y) {
                lightest = std::max(lightest, gray(QPoint(x, y)));
                darkest = std::min(darkest, gray(QPoint(x, y)));
            }
        return std::pair{lightest, darkest};
    };
    const struct {
        const char* name;
        int button;
        bool active;
    } cases[] = {{"search", 0, false}, {"hovered search", 1, false}, {"active search", 2, true}, {"upload", 3, false},
        {"active settings", 4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [lightest, darkest] = symbolRange(c.button);
        if (c.active) {
            EXPECT_GT(capsule(c.button), 200) << "a white capsule";
            EXPECT_LT(darkest, 60) << "a black symbol";
        } else {
            EXPECT_LT(capsule(c.button), 120) << "no white capsule";
            EXPECT_GT(lightest, 200) << "a white symbol";
        }
    }
    EXPECT_GT(capsule(1), capsule(0) + 8) << "hovering lights the capsule";

    shoot(QStringLiteral("nav-bars-on-picture"), {new NavButtonBar({NavIconButton::search()})}, true);
}

TEST(WidgetLook, GlassBackgrounds)
{
    QList<QWidget*> panels;
    for (const auto& [radius, size] : {std::pair{20.0, QSize(180, 70)}, {34.0, QSize(180, 70)}, {999.0, QSize(220, 40)}, {8.0, QSize(90, 30)}}) {
        auto* panel = new GlassBackground(radius);
        panel->setFixedSize(size);
        panels.append(panel);
    }
    const Shot shot = shoot(QStringLiteral("glass"), panels, true);
    // A radius beyond half the height makes a pill: the corner shows the picture behind.
    const QRect pill = shot.frames[2];
    const QColor corner = shot.picture.pixelColor(pill.topLeft() + QPoint(2, 2) * shot.picture.devicePixelRatio());
    const QColor middle = shot.picture.pixelColor(pill.center());
    EXPECT_GT(qGray(corner.rgb()), qGray(middle.rgb()) + 20);
}

TEST(WidgetLook, PlaceholdersLoadingAndSmallComponents)
{
    auto* dark = new PlaceholderPosterCard(true);
    auto* light = new PlaceholderPosterCard(false);
    for (PlaceholderPosterCard* card : {dark, light})
        card->setFixedSize(320, 180);
    shoot(QStringLiteral("placeholders"), {dark, light}, false, [&] {
        for (PlaceholderPosterCard* card : {dark, light})
            card->shimmer().setCurrentTime(PlaceholderPosterCard::kShimmerCycleMs / 3);
    });

    auto* veil = new LoadingIndicator;
    veil->setFixedSize(360, 220);
    shoot(QStringLiteral("loading"), {veil}, true);

    auto* missingLogo = new AppLogo(QStringLiteral("/nonexistent/logo.png"));
    auto* logo = new AppLogo;
    auto* footer = new FooterView;
    EXPECT_TRUE(logo->hasPicture());
    EXPECT_FALSE(missingLogo->hasPicture());
    EXPECT_LT(missingLogo->sizeHint().width(), logo->sizeHint().width());
    shoot(QStringLiteral("logo-footer"), {logo, missingLogo, footer});
}

TEST(WidgetLook, SymbolSheet)
{
    ASSERT_TRUE(Symbols::exists(QStringLiteral("heart")));
    QStringList names;
    for (QDirIterator it(QStringLiteral(":/ui")); it.hasNext();)
        if (const QString file = it.next(); file.endsWith(QLatin1String(".svg")))
            names << QFileInfo(file).completeBaseName();
    names.sort();
    const int columns = 10;
    QImage sheet(columns * 40 + 8, int((names.size() + columns - 1) / columns) * 40 + 8, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Theme::appBackgroundColor());
    QPainter painter(&sheet);
    for (qsizetype i = 0; i < names.size(); ++i)
        Symbols::paint(painter, QRectF(8 + (i % columns) * 40, 8 + (i / columns) * 40, 24, 24), names[i], Qt::white);
    painter.end();
    EXPECT_TRUE(keepReviewPicture(sheet, QStringLiteral("ui-screenshots"), QStringLiteral("symbols")));
}

// The icon comes from a loopback asset host: a picture, an error page, or no answer yet.
class DiscordIconTest : public ::testing::Test {
protected:
    DiscordIconTest()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        server_.routes().Get("/assets/discord.ico", [](const httplib::Request&, httplib::Response& res) {
            QImage icon(32, 32, QImage::Format_ARGB32);
            icon.fill(Qt::transparent);
            QPainter painter(&icon);
            painter.setBrush(QColor(88, 101, 242));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(4, 8, 24, 16);
            painter.end();
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            icon.save(&buffer, "ICO");
            res.set_content(bytes.constData(), size_t(bytes.size()), "image/x-icon");
        });
        server_.routes().Get("/slow/discord.ico", [this](const httplib::Request&, httplib::Response& res) {
            server_.waitForShutdown(30'000);
            res.status = 503;
        });
        server_.start();
    }

    Config config_;
    Shared<Config>::Override configOverride_{config_};
    TestHttpsServer server_;
    Http http_;
};

// The drawn pixels' bounding box.
QRect drawnArea(const QImage& picture)
{
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) > 128)
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST_F(DiscordIconTest, ShowsTheIconWhiteOrTheLinkSymbolWhenItCannotLoad)
{
    auto* loaded = new DiscordIcon(server_.url(QStringLiteral("/assets/discord.ico")), http_);
    auto* failed = new DiscordIcon(server_.url(QStringLiteral("/missing/discord.ico")), http_);
    auto* loading = new DiscordIcon(server_.url(QStringLiteral("/slow/discord.ico")), http_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded->phase() != DiscordIcon::Phase::Loading && failed->phase() != DiscordIcon::Phase::Loading; }, 10'000));
    EXPECT_EQ(loaded->phase(), DiscordIcon::Phase::Loaded);
    EXPECT_EQ(failed->phase(), DiscordIcon::Phase::Failed);
    EXPECT_EQ(loading->phase(), DiscordIcon::Phase::Loading);
    const Shot shot = shoot(QStringLiteral("discord-icon"), {loaded, failed, loading});
    // The shot's end destroyed the icon still loading: its transfer ends on the next turn.
    QTest::qWait(20);

    const qreal r = shot.picture.devicePixelRatio();
    const QImage link = shot.picture.copy(shot.frames[1]);
    const QRect area = drawnArea(link);
    ASSERT_FALSE(area.isEmpty());
    EXPECT_NEAR(area.center().y() / r, DiscordIcon::kSide / 2.0 - 2, 1.0) << "two pixels above the slot's centre";
    const QImage icon = shot.picture.copy(shot.frames[0]);
    EXPECT_EQ(icon.pixelColor(int(12 * r), int(10 * r)), QColor(Qt::white)) << "the icon's shape, tinted white";
}

} // namespace
