#pragma once

#include <QPalette>

class QAbstractScrollArea;
class QComboBox;
class QWidget;

// The application's one dark appearance: the palette every window and widget draws with.
class DarkAppearance {
public:
    static QPalette palette();
    // The fill of lists that open over the page (drop-downs).
    static QColor popupColor();
    // Gives the window the dark palette and a dark background fill, and tooltips the dark palette
    // and their place beside what they describe (ToolTips).
    static void apply(QWidget* window);
    // A drop-down's list opens as a window of its own, outside every dark window: its frame and
    // the margins above and below the rows would otherwise show the system's light window colour.
    static void applyToPopup(QComboBox* comboBox);
    // A thin light handle on no track, without arrow buttons, for the rare page that shows its
    // scroll bar.
    static void applyToScrollBars(QAbstractScrollArea* area);
};
