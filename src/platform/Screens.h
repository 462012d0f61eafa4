#pragma once

#include "platform/ScreenInfo.h"

#include <QList>
#include <QObject>

#include <optional>

// The displays attached to this machine. The Linux implementation is QtScreens; tests install
// FakeScreens with Shared<Screens>::Override. Lives on the GUI thread.
class Screens : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static Screens& shared();

    virtual QList<ScreenInfo> screens() const = 0;
    // The display that holds the menu and new windows; none when no display is attached.
    virtual std::optional<ScreenInfo> mainScreen() const = 0;

Q_SIGNALS:
    // Displays were added, removed, moved or resized: emitted once for a burst of changes,
    // after the burst, when screens() already gives the new state.
    void parametersChanged();
};
