#pragma once

#include <QWidget>

// A short white note on the floating controls' glass that takes no clicks: the "Copied!" note
// over the share button (a child of the view it floats over, placed by its owner) and the hint
// beside the disabled lock-screen button (a tool-tip window, which takes no pointer grab, so the
// hint can follow the pointer in and out). Wraps at `maxWidth`.
class FloatingNote : public QWidget {
    Q_OBJECT

public:
    FloatingNote(const QString& text, const QFont& font, QMargins padding, int maxWidth, QWidget* parent,
        Qt::WindowFlags flags = {});

    const QString& text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect(int width) const;

    QString text_;
    QMargins padding_;
    int maxWidth_;
};
