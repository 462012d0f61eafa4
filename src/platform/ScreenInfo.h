#pragma once

#include <QRect>
#include <QString>
#include <QStringView>

// One display as the rest of the application sees it: a value, copied freely.
struct ScreenInfo {
    QString localizedName;
    QRect geometry;          // in device-independent pixels, in the virtual desktop
    QRect visibleGeometry;   // the geometry minus panels and docks
    qreal devicePixelRatio = 1.0;
    quint32 displayId = 0;   // stable for the same monitor on the same connector, across runs

    bool operator==(const ScreenInfo&) const = default;

    // A 32-bit FNV-1a hash of the monitor's identity: the same in every process and after a
    // restart (unlike qHash, which is seeded per process). 0 when nothing identifies the monitor.
    static quint32 stableDisplayId(QStringView connector, QStringView manufacturer, QStringView model, QStringView serial);
};
