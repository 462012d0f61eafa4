#include "support/FakeScreens.h"

FakeScreens::FakeScreens(QList<ScreenInfo> screens, QObject* parent) : Screens(parent), screens_(std::move(screens)) {}

std::optional<ScreenInfo> FakeScreens::mainScreen() const
{
    if (screens_.isEmpty())
        return std::nullopt;
    return screens_.first();
}

ScreenInfo FakeScreens::display(const QString& name, const QRect& geometry, qreal devicePixelRatio)
{
    ScreenInfo info;
    info.localizedName = name;
    info.persistenceName = name;
    info.geometry = geometry;
    info.visibleGeometry = geometry;
    info.devicePixelRatio = devicePixelRatio;
    info.displayId = ScreenInfo::stableDisplayId(name, {}, {}, {});
    return info;
}
