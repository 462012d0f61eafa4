#pragma once

#include <QRect>
#include <QString>
#include <QStringView>

// One display as the rest of the application sees it: a value, copied freely.
struct ScreenInfo {
    // The name shown to the user: the monitor's product name, else "Display" and its place.
    QString localizedName;
    // The name its per-display records are kept under, the same whatever the screens' order:
    // the product name, else the connector's ("HDMI-1"), else "Display". Equal to the shown
    // name for a monitor that tells its model.
    QString persistenceName;
    QRect geometry;          // in device-independent pixels, in the virtual desktop
    QRect visibleGeometry;   // the geometry minus panels and docks
    qreal devicePixelRatio = 1.0;
    quint32 displayId = 0;   // stable for the same monitor on the same connector, across runs

    bool operator==(const ScreenInfo&) const = default;

    // A 32-bit FNV-1a hash of the monitor's identity: the same in every process and after a
    // restart (unlike qHash, which is seeded per process). 0 when nothing identifies the monitor.
    static quint32 stableDisplayId(QStringView connector, QStringView manufacturer, QStringView model, QStringView serial);
};
