#pragma once

class QWidget;

// A widget that wants to know when its host puts it on screen and takes it off: the lazy grid
// for its cells, the navigation host for its pages. Calls come in pairs, on the GUI thread, and a
// widget is destroyed only after disappeared() when it had appeared.
class AppearanceAware {
public:
    virtual ~AppearanceAware() = default;
    virtual void appeared() {}
    virtual void disappeared() {}

    // What hosts call: tells `widget` when it is AppearanceAware, else does nothing.
    static void tell(QWidget* widget, bool appeared);
};
