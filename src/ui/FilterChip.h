#pragma once

#include "ui/PressableWidget.h"

// A capsule-shaped text button that narrows a list: white with black text when selected,
// otherwise a dark capsule whose text and fill brighten while hovered. It never wraps its
// text and elides only a name too long for any row, and only clicks inside the capsule count. Selection belongs to the
// owner, who sets it; the chip only reports clicks.
class FilterChip : public PressableWidget {
    Q_OBJECT

public:
    explicit FilterChip(const QString& title, bool selected = false, QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    // What the chip shows right now, hover animation included.
    QColor textColor() const;
    QColor fillColor() const;

    QSize sizeHint() const override;

    // The capsule around a title in the body font, padded 18 by 9.
    static QSize capsuleSize(const QString& title);

protected:
    // The capsule inside the widget; the whole widget unless a chip draws something around it.
    virtual QRectF capsuleRect() const;
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;
    // The thin gray outline both chips wear, and the centred title.
    void paintOutline(QPainter& painter) const;
    void paintTitle(QPainter& painter, const QColor& color) const;

private:
    QString title_;
    bool selected_;
};
