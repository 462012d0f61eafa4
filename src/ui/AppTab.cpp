#include "ui/AppTab.h"

#include <QCoreApplication>

QString AppTabs::title(AppTab tab)
{
    switch (tab) {
    case AppTab::Home: return QCoreApplication::translate("AppTabs", "Home");
    case AppTab::Explore: return QCoreApplication::translate("AppTabs", "Explore");
    case AppTab::Library: return QCoreApplication::translate("AppTabs", "Library");
    case AppTab::Upload: return QCoreApplication::translate("AppTabs", "Upload");
    case AppTab::Settings: return QCoreApplication::translate("AppTabs", "Settings");
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
