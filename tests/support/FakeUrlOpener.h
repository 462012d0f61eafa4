#pragma once

#include "platform/UrlOpener.h"

#include <QList>

// Records what would have been opened. Install with Shared<UrlOpener>::Override.
class FakeUrlOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
    bool openWallpaperSettings() override
    {
        wallpaperSettingsOpened += hasWallpaperSettings;
        return hasWallpaperSettings;
    }

    QList<QUrl> opened;
    int wallpaperSettingsOpened = 0;
    // False: the desktop has none of the settings tools.
    bool hasWallpaperSettings = true;
};
