#pragma once

#include "platform/Screens.h"

// Displays a test chooses. Install with Shared<Screens>::Override; setScreens() changes the
// list silently and announceChange() emits parametersChanged, as a burst of real changes would.
class FakeScreens : public Screens {
    Q_OBJECT
public:
    explicit FakeScreens(QList<ScreenInfo> screens = {}, QObject* parent = nullptr);

    QList<ScreenInfo> screens() const override { return screens_; }
    // The first display, as with the primary screen.
    std::optional<ScreenInfo> mainScreen() const override;

    void setScreens(QList<ScreenInfo> screens) { screens_ = std::move(screens); }
    void announceChange() { Q_EMIT parametersChanged(); }

    // A display with a given name and frame, its id derived from the name.
    static ScreenInfo display(const QString& name, const QRect& geometry, qreal devicePixelRatio = 1.0);

private:
    QList<ScreenInfo> screens_;
};
