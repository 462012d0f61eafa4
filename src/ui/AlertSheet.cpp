#include "ui/AlertSheet.h"

#include "ui/GlassBackground.h"
#include "ui/SheetHost.h"
#include "ui/TextButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 340;
constexpr qreal kCornerRadius = 14;

TextButton::Style styleFor(AlertSheet::Role role)
{
    TextButton::Style style = TextButton::Style::outlined(0.9, 0.1, 0.2, 13);
    style.hoverFill = Theme::withOpacity(Qt::white, 0.18);
    style.padding = QMargins(16, 6, 16, 6);
    if (role == AlertSheet::Role::Destructive)
        style.text = Theme::systemRed();
    if (role == AlertSheet::Role::Default) {
        style.fill = Theme::systemBlue();
        style.hoverFill = Theme::systemBlue().lighter(115);
        style.text = Qt::white;
        style.border = QColor();
    }
    return style;
}
} // namespace

AlertSheet::AlertSheet(const QString& title, const QString& message, const QList<Button>& buttons, QWidget* parent)
    : QWidget(parent), title_(new QLabel(title, this)), message_(new QLabel(message, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    title_->setFont(Theme::font(Theme::TextStyle::Headline));
    title_->setAlignment(Qt::AlignHCenter);
    title_->setWordWrap(true);
    message_->setFont(Theme::font(Theme::TextStyle::Subheadline));
    message_->setAlignment(Qt::AlignHCenter);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    title_->setTextFormat(Qt::PlainText);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    title_->setPalette(palette);
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, 0.8));
    message_->setPalette(palette);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addStretch();
    for (const Button& button : buttons) {
        auto* widget = new TextButton(button.title, styleFor(button.role), this);
        actions_.append({button.title, button.action});
        const std::function<void()> action = button.action;
        connect(widget, &TextButton::clicked, this, [this, action] { finish(action); });
        row->addWidget(widget);
    }
    row->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 18);
    column->setSpacing(10);
    column->addWidget(title_);
    column->addWidget(message_);
    column->addSpacing(6);
    column->addLayout(row);
    setFixedWidth(kWidth);
}

QSize AlertSheet::sizeHint() const { return {kWidth, layout()->heightForWidth(kWidth)}; }

QString AlertSheet::title() const { return title_->text(); }
QString AlertSheet::message() const { return message_->text(); }

bool AlertSheet::press(const QString& buttonTitle)
{
    for (const auto& [title, action] : actions_) {
        if (title == buttonTitle) {
            finish(action);
            return true;
        }
    }
    return false;
}

void AlertSheet::finish(const std::function<void()>& action)
{
    // Closed first, so the action may present another sheet.
    if (auto* host = qobject_cast<SheetHost*>(parentWidget()); host && host->sheet() == this)
        host->dismiss();
    if (action)
        action();
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
    GlassBackground::paint(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius);
}
