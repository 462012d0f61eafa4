#pragma once

#include <QLabel>

// One tooltip on screen: a window of its own in Qt's tooltip palette and font, drawn as the
// style draws tooltips, that takes no pointer input at all (neither Qt's nor the window
// system's), so a click where it stands reaches whatever is beneath. Made by ToolTips for the
// widget it describes, whose child it is; GUI thread.
class ToolTipLabel : public QLabel {
    Q_OBJECT

public:
    ToolTipLabel(const QString& text, QWidget* about);

protected:
    void paintEvent(QPaintEvent* event) override;
};
