#include "ui/AppTab.h"

QString AppTabs::title(AppTab tab)
{
    switch (tab) {
    case AppTab::Home: return QStringLiteral("Home");
    case AppTab::Explore: return QStringLiteral("Explore");
    case AppTab::Library: return QStringLiteral("Library");
    case AppTab::Upload: return QStringLiteral("Upload");
    case AppTab::Settings: return QStringLiteral("Settings");
    }
    return {};
}

std::optional<AppTab> AppTabs::fromTitle(const QString& title)
{
    for (AppTab tab : all())
        if (AppTabs::title(tab) == title)
            return tab;
    return std::nullopt;
}

const QList<AppTab>& AppTabs::all()
{
    static const QList<AppTab> tabs{AppTab::Home, AppTab::Explore, AppTab::Library, AppTab::Upload, AppTab::Settings};
    return tabs;
}
