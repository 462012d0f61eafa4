#pragma once

#include <QSet>
#include <QtGlobal>

#include <optional>

// A choice of wallpaper for some displays, numbered when it began. Work that waits before it
// lands (a download) lands only on the displays no newer choice has claimed since; the engine
// hands these out and keeps, per display, the newest claim. A plain value.
struct DesktopClaim {
    quint64 number = 0;
    // The display ids chosen; absent means every display, those attached later included.
    std::optional<QSet<quint32>> displays{};
};
