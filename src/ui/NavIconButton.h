#pragma once

#include "ui/PaintCache.h"
#include "ui/PressableWidget.h"

// One of the icon buttons at the top of the main window (search, upload, settings): a white
// symbol on a capsule that lights up faintly while hovered and turns white, with the symbol
// black, while the button's target is active. The owner sets the active state from whatever
// the button controls, so it follows changes made anywhere.
class NavIconButton : public PressableWidget {
    Q_OBJECT

public:
    static constexpr qreal kSymbolPointSize = 17;

    explicit NavIconButton(const QString& symbol, QWidget* parent = nullptr);

    static NavIconButton* search(QWidget* parent = nullptr);
    static NavIconButton* upload(QWidget* parent = nullptr);
    static NavIconButton* settings(QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    bool isActive() const { return active_; }
    void setActive(bool active);

    // The capsule's white opacity and the symbol's colour right now.
    qreal capsuleOpacity() const;
    QColor symbolColor() const;

    QSize sizeHint() const override;

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    bool active_ = false;
    PaintCache cache_;
};
