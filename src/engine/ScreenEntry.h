#pragma once

#include <QUrl>

#include <memory>
#include <optional>

class DesktopVideoWindow;

// One display's live wallpaper in the desktop video engine: the window that covers the display
// and plays the video, and what it plays. The entry owns its window; dropping the entry takes the
// window off the screen and ends its player.
struct ScreenEntry {
    ScreenEntry(quint32 displayID, std::unique_ptr<DesktopVideoWindow> window, std::optional<qint64> wallpaperKey, QUrl videoURL);
    ScreenEntry(ScreenEntry&&) noexcept;
    ScreenEntry& operator=(ScreenEntry&&) noexcept;
    ~ScreenEntry();

    quint32 displayID;
    // None where the desktop lets no application draw a live wallpaper.
    std::unique_ptr<DesktopVideoWindow> window;
    // Absent only for the video that ships with the application, which is never recorded.
    std::optional<qint64> wallpaperKey;
    QUrl videoURL;
    // The player gave up on the video; its window stays hidden so the desktop picture shows.
    bool playbackFailed = false;
};
