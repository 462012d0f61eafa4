#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The standard controls of the sheets and popovers (text fields, pop-up pickers, buttons and
// their captions), made once with the dark look, so every form reads alike. Text fields,
// pickers and buttons keep the pointer and focus behaviour of their kind; buttons show the
// pointing hand.
class FormControls {
public:
    enum class ButtonStyle {
        Bordered,          // a quiet outlined button
        Prominent,         // filled with the accent colour: the confirming action
        Destructive,       // filled red: deletes something
    };
    // The gap between the buttons of one row (a sheet's header, a popover's foot): the style's
    // own spacing is none once the buttons wear style sheets.
    static constexpr int kButtonSpacing = 12;

    // A caption above a control: the caption style, white at opacity 0.8.
    static QLabel* caption(const QString& text, QWidget* parent = nullptr);
    // A secondary line of text in `pixelSize`, white at opacity 0.6.
    static QLabel* secondaryText(const QString& text, int pixelSize, QWidget* parent = nullptr);
    static QLineEdit* textField(const QString& placeholder, QWidget* parent = nullptr);
    static QComboBox* picker(const QStringList& items, QWidget* parent = nullptr);
    static QPushButton* button(const QString& text, ButtonStyle style, QWidget* parent = nullptr);
};
