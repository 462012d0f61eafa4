#pragma once

#include "ui/PressableWidget.h"

#include <QColor>
#include <QFont>
#include <QMargins>

// A painted button with a text label and an optional symbol on a rounded rectangle: the form
// buttons, "Personal Use +", "Clear all", "Select", "Go Back". Its look is one Style value;
// the fill brightens towards `hoverFill` while hovered. A disabled button shows `disabledFill`,
// ignores the pointer and keeps the arrow cursor.
class TextButton : public PressableWidget {
    Q_OBJECT

public:
    struct Style {
        QFont font;
        QColor text = Qt::white;
        QColor fill;
        QColor hoverFill; // invalid: the fill stays
        QColor disabledFill; // invalid: the fill stays
        QColor border;       // invalid: no border
        qreal borderWidth = 1;
        qreal cornerRadius = 8;
        QMargins padding{16, 8, 16, 8};
        QString symbol; // drawn after the text unless symbolLeading
        bool symbolLeading = false;
        qreal symbolPointSize = 12;
        QColor symbolColor; // invalid: the text colour
        int spacing = 8;
        // Centre the label in a button wider than its natural size.
        bool centred = true;
        // A trailing symbol sits at the right edge rather than after the text.
        bool symbolAtEdge = false;

        // White text on a white-tinted fill with a white rim, at the given opacities.
        static Style outlined(qreal textOpacity, qreal fillOpacity, qreal borderOpacity, qreal fontSize = 14,
            QFont::Weight weight = QFont::Medium);
    };

    TextButton(const QString& text, const Style& style, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    const Style& style() const { return style_; }
    void setStyle(const Style& style);
    // The fill drawn right now.
    QColor currentFill() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString text_;
    Style style_;
};
