#include "ui/ScreenMessageView.h"

#include "ui/LabelButton.h"
#include "ui/Symbols.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
constexpr int kSymbolSize = 48;

LabelButton::Look actionLook()
{
    LabelButton::Look look;
    look.font = Theme::font(Theme::TextStyle::Body, QFont::DemiBold);
    look.textColor = Theme::appBackgroundColor();
    look.fill = Qt::white;
    look.hoverFill = Theme::withOpacity(Qt::white, 0.9);
    look.cornerRadius = 6;
    look.horizontalPadding = 14;
    look.verticalPadding = 5;
    return look;
}
} // namespace

ScreenMessageView::Message ScreenMessageView::Message::failure(const QString& title, const QString& detail, const QString& action)
{
    return {QStringLiteral("exclamationmark.triangle.fill"), Theme::withOpacity(QColor(255, 159, 10), 0.8), title, detail, action};
}

ScreenMessageView::Message ScreenMessageView::Message::empty(const QString& symbol, const QString& title, const QString& detail)
{
    return {symbol, Theme::withOpacity(Qt::white, 0.35), title, detail, {}};
}

ScreenMessageView::ScreenMessageView(QWidget* parent)
    : QWidget(parent), symbol_(new QLabel), title_(new TextLabel({}, Theme::font(Theme::TextStyle::Title2), Qt::white)),
      detail_(new TextLabel({}, Theme::font(Theme::TextStyle::Subheadline), Theme::withOpacity(Qt::white, 0.7))),
      action_(new LabelButton({}, actionLook()))
{
    // The text column grows to a readable measure and no further; the row centres it.
    auto* column = new QWidget(this);
    column->setMaximumWidth(kMaxTextWidth);
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* lines = new QVBoxLayout(column);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(16);
    // The symbol's room does not wait for its picture: a page that fills in its message while
    // hidden is laid out right when it shows.
    symbol_->setFixedSize(kSymbolSize, kSymbolSize);
    lines->addWidget(symbol_, 0, Qt::AlignHCenter);
    lines->addWidget(title_->wrapped(Qt::AlignHCenter | Qt::AlignTop));
    lines->addWidget(detail_->wrapped(Qt::AlignHCenter | Qt::AlignTop));
    lines->addSpacing(8);
    lines->addWidget(action_, 0, Qt::AlignHCenter);
    connect(action_, &LabelButton::clicked, this, &ScreenMessageView::actionClicked);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(40, 0, 40, 0);
    row->addStretch();
    row->addWidget(column, 1);
    row->addStretch();
}

void ScreenMessageView::setMessage(const Message& message)
{
    symbol_->setPixmap(QPixmap::fromImage(Symbols::image(message.symbol, message.symbolColor, kSymbolSize, devicePixelRatioF())));
    title_->setText(message.title);
    detail_->setText(message.detail);
    detail_->setVisible(!message.detail.isEmpty());
    action_->setText(message.action);
    action_->setVisible(!message.action.isEmpty());
}

QString ScreenMessageView::title() const { return title_->text(); }

QString ScreenMessageView::detail() const { return detail_->text(); }
