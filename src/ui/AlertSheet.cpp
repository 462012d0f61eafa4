#include "ui/AlertSheet.h"

#include "ui/GlassBackground.h"
#include "ui/LabelButton.h"
#include "ui/SheetHost.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int kPadding = 24;
constexpr qreal kCornerRadius = 18;

LabelButton::Look buttonLook(AlertSheet::Role role)
{
    LabelButton::Look look;
    look.font = Theme::font(Theme::TextStyle::Body, QFont::DemiBold);
    look.verticalPadding = 8;
    switch (role) {
    case AlertSheet::Role::Default:
        look.textColor = Qt::black;
        look.fill = Qt::white;
        look.hoverFill = Theme::withOpacity(Qt::white, 0.85);
        break;
    case AlertSheet::Role::Destructive:
        look.textColor = Theme::systemRed();
        look.fill = Theme::withOpacity(Qt::white, 0.1);
        look.hoverFill = Theme::withOpacity(Qt::white, 0.18);
        break;
    case AlertSheet::Role::Cancel:
        look.textColor = Theme::withOpacity(Qt::white, 0.9);
        look.fill = Theme::withOpacity(Qt::white, 0.1);
        look.hoverFill = Theme::withOpacity(Qt::white, 0.18);
        break;
    }
    return look;
}
} // namespace

AlertSheet::AlertSheet(const QString& title, const QString& message, const QString& buttonText,
    std::function<void()> action, QWidget* parent)
    : AlertSheet(title, message, QList<Button>{{buttonText, Role::Default, std::move(action)}}, parent)
{
}

AlertSheet::AlertSheet(const QString& title, const QString& message, const QList<Button>& buttons, QWidget* parent)
    : QWidget(parent), title_(title), message_(message)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(12);
    column->addWidget((new TextLabel(title, Theme::font(Theme::TextStyle::Title2, QFont::Bold), Qt::white))->wrapped());
    if (!message.isEmpty())
        column->addWidget(
            (new TextLabel(message, Theme::font(Theme::TextStyle::Body), Theme::withOpacity(Qt::white, 0.75)))->wrapped());
    column->addSpacing(8);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addStretch();
    for (const Button& button : buttons) {
        auto* widget = new LabelButton(button.title, buttonLook(button.role));
        connect(widget, &LabelButton::clicked, this, [this, action = button.action] { finish(action); });
        buttons_.append(widget);
        row->addWidget(widget);
    }
    column->addLayout(row);
    setFixedSize(kWidth, column->totalHeightForWidth(kWidth));
}

void AlertSheet::finish(const std::function<void()>& action)
{
    if (action)
        action();
    // The sheet may be gone by now: the action can have dismissed it.
    for (QWidget* up = parentWidget(); up; up = up->parentWidget())
        if (auto* host = qobject_cast<SheetHost*>(up)) {
            if (host->sheet() == this)
                host->dismiss();
            break;
        }
}

bool AlertSheet::press(const QString& buttonTitle)
{
    for (LabelButton* button : buttons_) {
        if (button->text() == buttonTitle) {
            Q_EMIT button->clicked();
            return true;
        }
    }
    return false;
}

AlertSheet* AlertSheet::present(QWidget* from, const QString& title, const QString& message, const QList<Button>& buttons)
{
    QWidget* window = from->window();
    auto* host = window->findChild<SheetHost*>();
    if (!host)
        host = new SheetHost(window);
    auto* alert = new AlertSheet(title, message, buttons);
    host->present(alert);
    return alert;
}

AlertSheet* AlertSheet::shown(QWidget* from)
{
    const auto* host = from->window()->findChild<SheetHost*>();
    return host ? qobject_cast<AlertSheet*>(host->sheet()) : nullptr;
}

void AlertSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(GlassBackground::shape(rect(), kCornerRadius), Theme::appBackgroundColor());
    GlassBackground::paint(painter, rect(), kCornerRadius);
}
