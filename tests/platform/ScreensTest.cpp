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

TEST(QtScreensTest, ScreensWithoutAModelAreNamedByTheirPlace)
{
    ScreenInfo acme;
    acme.localizedName = QStringLiteral("Acme X27");
    const ScreenInfo nameless;
    const struct {
        const char* name;
        QList<ScreenInfo> screens;
        QStringList names;
    } cases[] = {
        {"one virtual screen", {nameless}, {QStringLiteral("Display 1")}},
        {"second of two", {acme, nameless}, {QStringLiteral("Acme X27"), QStringLiteral("Display 2")}},
        {"two nameless", {nameless, nameless}, {QStringLiteral("Display 1"), QStringLiteral("Display 2")}},
    };
    for (const auto& c : cases) {
        QStringList names;
        for (const ScreenInfo& info : QtScreens::withDistinctNames(c.screens))
            names << info.localizedName;
        EXPECT_EQ(names, c.names) << c.name;
    }
}

} // namespace
