#pragma once

#include "platform/Screens.h"

class QScreen;
class QTimer;

// Screens from QGuiApplication: follows screens being added and removed and each screen's
// geometry and pixel ratio, and folds every burst of such changes into one parametersChanged.
class QtScreens : public Screens {
    Q_OBJECT
public:
    explicit QtScreens(QObject* parent = nullptr);

    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;

    static ScreenInfo infoFor(const QScreen* screen);
    // The monitor's product name, from what the window system reports; empty when it names no
    // product. A Wayland compositor always sends a maker and a model, and for an output without
    // identity (no EDID, a virtual or headless output) those are placeholders shared by every
    // such output: those count as none, so the output is kept by its connector as on X11.
    static QString productName(const QString& manufacturer, const QString& model, QStringView platform);
    // Identical monitors share a model name; later ones get " (2)", " (3)" so that names,
    // and everything keyed by them, stay apart (shown and persistence names alike). A screen
    // that tells no model (virtual and headless ones, which only carry a connector name such as
    // "HDMI-1") is shown as "Display" and its place in the list, counted from 1, while its
    // records stay under its connector's name, so they do not move with the screens' order.
    static QList<ScreenInfo> withDistinctNames(QList<ScreenInfo> screens);

private:
    void watch(QScreen* screen);
    void scheduleChange();

    QTimer* coalesce_;
};
