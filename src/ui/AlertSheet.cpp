#include "ui/AlertSheet.h"

#include "ui/GlassBackground.h"
#include "ui/LabelButton.h"
#include "ui/SheetHost.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int kPadding = 24;
constexpr qreal kCornerRadius = 18;

QLabel* label(const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

LabelButton::Look buttonLook()
{
    LabelButton::Look look;
    look.font = Theme::font(Theme::TextStyle::Body, QFont::DemiBold);
    look.textColor = Qt::black;
    look.fill = Qt::white;
    look.hoverFill = Theme::withOpacity(Qt::white, 0.85);
    look.verticalPadding = 8;
    return look;
}
} // namespace

AlertSheet::AlertSheet(const QString& title, const QString& message, const QString& buttonText,
    std::function<void()> action, QWidget* parent)
    : QWidget(parent), title_(title), message_(message), button_(new LabelButton(buttonText, buttonLook()))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(12);
    column->addWidget(label(title, Theme::font(Theme::TextStyle::Title2, QFont::Bold), Qt::white));
    if (!message.isEmpty())
        column->addWidget(label(message, Theme::font(Theme::TextStyle::Body), Theme::withOpacity(Qt::white, 0.75)));
    column->addSpacing(8);
    column->addWidget(button_, 0, Qt::AlignRight);
    setFixedSize(kWidth, column->totalHeightForWidth(kWidth));
    connect(button_, &LabelButton::clicked, this, [this, action = std::move(action)] {
        if (action)
            action();
        // The sheet may be gone by now: the action can have dismissed it.
        for (QWidget* up = parentWidget(); up; up = up->parentWidget())
            if (auto* host = qobject_cast<SheetHost*>(up)) {
                if (host->sheet() == this)
                    host->dismiss();
                break;
            }
    });
}

void AlertSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(GlassBackground::shape(rect(), kCornerRadius), Theme::appBackgroundColor());
    GlassBackground::paint(painter, rect(), kCornerRadius);
}
