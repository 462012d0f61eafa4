#include "platform/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(ScreenInfoTest, DisplayIdsAreTheSameInEveryRun)
{
    // Fixed values: a per-process seeded hash would change them from run to run.
    EXPECT_EQ(ScreenInfo::stableDisplayId(u"HDMI-1", u"Acme", u"X27", u"SN123"), 1960484731u);
    EXPECT_EQ(ScreenInfo::stableDisplayId({}, {}, {}, {}), 0u) << "no identity";
    // Every field counts, and where one ends matters.
    EXPECT_NE(ScreenInfo::stableDisplayId(u"HDMI-1", u"Acme", u"X27", u"SN124"), 1960484731u);
    EXPECT_NE(ScreenInfo::stableDisplayId(u"ab", u"c", {}, {}), ScreenInfo::stableDisplayId(u"a", u"bc", {}, {}));
}

TEST(QtScreensTest, DescribesTheScreensOfTheApplication)
{
    QtScreens screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    ASSERT_EQ(screens.screens().size(), QGuiApplication::screens().size());
    const std::optional<ScreenInfo> main = screens.mainScreen();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->geometry, primary->geometry());
    EXPECT_EQ(main->visibleGeometry, primary->availableGeometry());
    EXPECT_EQ(main->devicePixelRatio, primary->devicePixelRatio());
    EXPECT_FALSE(main->localizedName.isEmpty());
    EXPECT_EQ(main->displayId, ScreenInfo::stableDisplayId(primary->name(), primary->manufacturer(),
                                   primary->model(), primary->serialNumber()));
}

// The screens the window system reports without a model (the test's virtual one among them) are
// shown by their place, while their records are kept under their connector's name, which does not
// change when another monitor is plugged in before them.
TEST(QtScreensTest, AScreenWithoutAModelIsKeptByItsConnectorNotItsPlace)
{
    const QList<QScreen*> reported = QGuiApplication::screens();
    const QList<ScreenInfo> described = QtScreens().screens();
    ASSERT_EQ(described.size(), reported.size());
    int nameless = 0;
    for (qsizetype place = 0; place < reported.size(); ++place) {
        const QScreen* screen = reported[place];
        if (!QString(screen->manufacturer() + screen->model()).trimmed().isEmpty())
            continue;
        ++nameless;
        SCOPED_TRACE(screen->name().toStdString());
        EXPECT_EQ(described[place].localizedName, QStringLiteral("Display %1").arg(place + 1));
        const QString connector = screen->name().isEmpty() ? QStringLiteral("Display") : screen->name();
        EXPECT_TRUE(described[place].persistenceName.startsWith(connector)) << described[place].persistenceName.toStdString();
        EXPECT_NE(described[place].persistenceName, described[place].localizedName);
    }
    ASSERT_GT(nameless, 0) << "every screen of this platform tells its model";
}

// A Wayland output without identity must be kept by its connector, as X11 keeps it, not under
// the maker and model placeholders every such output shares; a real monitor keeps its product.
TEST(QtScreensTest, PlaceholderProductsOfACompositorNameNothing)
{
    struct Row {
        const char* manufacturer;
        const char* model;
        const char* platform;
        const char* product;
    };
    const Row rows[] = {
        {"Dell Inc.", "DELL U2720Q", "wayland", "Dell Inc. DELL U2720Q"},
        {"Dell Inc.", "DELL U2720Q", "xcb", "Dell Inc. DELL U2720Q"},
        {"headless", "headless", "wayland", ""},
        {"Unknown", "Unknown", "wayland", ""},
        {"", "", "wayland", ""},
        {"Unknown", "0x1234", "wayland", "Unknown 0x1234"},
        // X11 reports what the EDID says, whatever it says.
        {"Unknown", "Unknown", "xcb", "Unknown Unknown"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.manufacturer) + "/" + row.model + " on " + row.platform);
        EXPECT_EQ(QtScreens::productName(QString::fromUtf8(row.manufacturer), QString::fromUtf8(row.model), QString::fromUtf8(row.platform)),
                  QString::fromUtf8(row.product));
    }
}

TEST(QtScreensTest, ABurstOfChangesIsAnnouncedOnce)
{
    QtScreens screens;
    QSignalSpy changed(&screens, &Screens::parametersChanged);
    QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);

    for (int round = 1; round <= 2; ++round) {
        Q_EMIT primary->geometryChanged(primary->geometry());
        Q_EMIT primary->availableGeometryChanged(primary->availableGeometry());
        Q_EMIT qGuiApp->screenAdded(primary);
        Q_EMIT qGuiApp->primaryScreenChanged(primary);
        EXPECT_EQ(changed.count(), round - 1) << "announced before the burst ended";
        ASSERT_TRUE(changed.wait(5'000));
        QCoreApplication::processEvents();
        EXPECT_EQ(changed.count(), round);
    }
}

TEST(QtScreensTest, IdenticalMonitorsGetDistinctNames)
{
    ScreenInfo left;
    left.localizedName = QStringLiteral("Acme X27");
    ScreenInfo other;
    other.localizedName = QStringLiteral("Builtin");
    const QList<ScreenInfo> named = QtScreens::withDistinctNames({left, other, left, left});
    QStringList names;
    for (const ScreenInfo& info : named)
        names << info.localizedName;
    EXPECT_EQ(names, (QStringList{QStringLiteral("Acme X27"), QStringLiteral("Builtin"), QStringLiteral("Acme X27 (2)"),
                         QStringLiteral("Acme X27 (3)")}));
}

// A screen without a model is shown by its place, while its records stay under its connector's
// name (as earlier versions kept them): two such monitors swapped, or one unplugged before
// another, keep their own wallpapers.
TEST(QtScreensTest, ScreensWithoutAModelAreShownByTheirPlaceAndKeptByTheirConnector)
{
    ScreenInfo acme;
    acme.localizedName = QStringLiteral("Acme X27");
    acme.persistenceName = acme.localizedName;
    const auto nameless = [](const QString& connector) {
        ScreenInfo info;
        info.persistenceName = connector;
        return info;
    };
    const struct {
        const char* name;
        QList<ScreenInfo> screens;
        QStringList shown;
        QStringList kept;
    } cases[] = {
        {"one virtual screen", {nameless(QStringLiteral("screen"))}, {QStringLiteral("Display 1")}, {QStringLiteral("screen")}},
        {"second of two", {acme, nameless(QStringLiteral("HDMI-1"))}, {QStringLiteral("Acme X27"), QStringLiteral("Display 2")},
            {QStringLiteral("Acme X27"), QStringLiteral("HDMI-1")}},
        {"two nameless", {nameless(QStringLiteral("HDMI-1")), nameless(QStringLiteral("DP-2"))},
            {QStringLiteral("Display 1"), QStringLiteral("Display 2")}, {QStringLiteral("HDMI-1"), QStringLiteral("DP-2")}},
        {"the same two swapped", {nameless(QStringLiteral("DP-2")), nameless(QStringLiteral("HDMI-1"))},
            {QStringLiteral("Display 1"), QStringLiteral("Display 2")}, {QStringLiteral("DP-2"), QStringLiteral("HDMI-1")}},
        {"the first unplugged", {nameless(QStringLiteral("DP-2"))}, {QStringLiteral("Display 1")}, {QStringLiteral("DP-2")}},
        {"identical models", {acme, acme}, {QStringLiteral("Acme X27"), QStringLiteral("Acme X27 (2)")},
            {QStringLiteral("Acme X27"), QStringLiteral("Acme X27 (2)")}},
    };
    for (const auto& c : cases) {
        QStringList shown;
        QStringList kept;
        for (const ScreenInfo& info : QtScreens::withDistinctNames(c.screens)) {
            shown << info.localizedName;
            kept << info.persistenceName;
        }
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(kept, c.kept) << c.name;
    }
}

} // namespace
