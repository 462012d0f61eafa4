#include "ui/FormControls.h"

#include "ui/DarkAppearance.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QString rgba(const QColor& colour)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(colour.red()).arg(colour.green()).arg(colour.blue()).arg(colour.alphaF());
}

QLabel* label(const QString& text, const QFont& font, qreal opacity, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, opacity));
    label->setPalette(palette);
    return label;
}

// Fields share one rounded, faintly filled look.
const QString kFieldStyle = QStringLiteral(
    "border: 1px solid rgba(255,255,255,0.2); border-radius: 6px; background: rgba(255,255,255,0.08);"
    " color: white; padding: 4px 8px; selection-background-color: %1;");
} // namespace

QLabel* FormControls::caption(const QString& text, QWidget* parent)
{
    return label(text, Theme::font(Theme::TextStyle::Caption), 0.8, parent);
}

QLabel* FormControls::secondaryText(const QString& text, int pixelSize, QWidget* parent)
{
    QLabel* line = label(text, Theme::systemFont(pixelSize), 0.6, parent);
    line->setWordWrap(true);
    return line;
}

QLineEdit* FormControls::textField(const QString& placeholder, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    field->setFont(Theme::font(Theme::TextStyle::Body));
    field->setStyleSheet(QStringLiteral("QLineEdit {") + kFieldStyle.arg(rgba(Theme::systemBlue())) + u'}');
    return field;
}

QComboBox* FormControls::picker(const QStringList& items, QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    picker->addItems(items);
    picker->setFont(Theme::font(Theme::TextStyle::Body));
    picker->setCursor(Qt::PointingHandCursor);
    picker->setStyleSheet(QStringLiteral("QComboBox {") + kFieldStyle.arg(rgba(Theme::systemBlue()))
        + QStringLiteral("} QComboBox::drop-down { border: none; width: 18px; }"
                         " QComboBox QAbstractItemView { border: none; outline: 0; color: white; background: ")
        + rgba(DarkAppearance::popupColor()) + QStringLiteral("; selection-background-color: ") + rgba(Theme::systemBlue()) + u'}');
    DarkAppearance::applyToPopup(picker);
    return picker;
}

QPushButton* FormControls::button(const QString& text, ButtonStyle style, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFont(Theme::font(Theme::TextStyle::Body));
    button->setCursor(Qt::PointingHandCursor);
    QColor fill = Theme::withOpacity(Qt::white, 0.1);
    if (style == ButtonStyle::Prominent)
        fill = Theme::systemBlue();
    else if (style == ButtonStyle::Destructive)
        fill = Theme::systemRed();
    const QString border = style == ButtonStyle::Bordered ? QStringLiteral("1px solid rgba(255,255,255,0.2)") : QStringLiteral("none");
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: %2; border-radius: 6px;"
                                         " padding: 5px 12px; }"
                                         " QPushButton:hover { background: %3; }"
                                         " QPushButton:disabled { background: rgba(255,255,255,0.06); color: rgba(255,255,255,0.35); }")
                              .arg(rgba(fill), border, rgba(Theme::mix(fill, Qt::white, 0.12))));
    return button;
}
