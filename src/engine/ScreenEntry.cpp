#include "engine/ScreenEntry.h"

#include "platform/DesktopVideoWindow.h"

ScreenEntry::ScreenEntry(quint32 id, std::unique_ptr<DesktopVideoWindow> videoWindow, std::optional<qint64> key, QUrl url)
    : displayID(id), window(std::move(videoWindow)), wallpaperKey(key), videoURL(std::move(url))
{
}

ScreenEntry::ScreenEntry(ScreenEntry&&) noexcept = default;
ScreenEntry& ScreenEntry::operator=(ScreenEntry&&) noexcept = default;
ScreenEntry::~ScreenEntry() = default;
