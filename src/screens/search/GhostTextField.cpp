#include "screens/search/GhostTextField.h"

#include "ui/ElidedText.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

namespace {
// QLineEdit keeps this many pixels between its contents' edge and the first character.
constexpr int kLineEditInnerMargin = 2;
constexpr qreal kGhostOpacity = 0.38;
} // namespace

GhostTextField::GhostTextField(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::transparent);
    colors.setColor(QPalette::Text, Qt::white);
    colors.setColor(QPalette::PlaceholderText, Theme::withOpacity(Qt::white, 0.35));
    setPalette(colors);
}

void GhostTextField::setGhostSuffix(const QString& suffix)
{
    if (suffix == ghost_)
        return;
    ghost_ = suffix;
    update();
}

bool GhostTextField::event(QEvent* event)
{
    // Tab reaches event() before focus handling does: the only place to take it first.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && tabHandler_ && tabHandler_()) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void GhostTextField::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (ghost_.isEmpty() || text().isEmpty())
        return;
    const QRect area = contentsRect().marginsRemoved(textMargins());
    const QFontMetrics metrics(font());
    const int typedEnd = area.left() + kLineEditInnerMargin + metrics.horizontalAdvance(text());
    // Once the typed text scrolls, the end of it is no longer where it is measured to be.
    if (typedEnd >= area.right())
        return;
    QPainter painter(this);
    painter.setClipRect(area);
    painter.setFont(font());
    painter.setPen(Theme::withOpacity(Qt::white, kGhostOpacity));
    // A completion is catalogue text: cleaned and cut like every label's.
    const int room = area.right() - typedEnd;
    painter.drawText(QRect(typedEnd, area.top(), room, area.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        ElidedText::toWidth(ghost_, QFontMetricsF(font()), room));
}
