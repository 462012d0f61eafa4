#include "screens/sheets/ReportSubmitButton.h"

#include "ui/GlassBackground.h"
#include "ui/Spinner.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPaddingY = 10;
constexpr int kSpacing = 6;
constexpr qreal kCorner = 10;
constexpr qreal kSpinnerScale = 0.45;

QFont labelFont() { return Theme::systemFont(13, QFont::DemiBold); }
} // namespace

ReportSubmitButton::ReportSubmitButton(QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(120), parent), spinner_(new Spinner(kSpinnerScale, Qt::black, this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    spinner_->hide();
}

void ReportSubmitButton::setState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    spinner_->setVisible(state == State::submitting);
    placeSpinner();
    update();
}

QString ReportSubmitButton::text() const
{
    switch (state_) {
    case State::submitted: return tr("Reported");
    case State::failed: return tr("Not Sent, Try Again");
    default: return tr("Submit");
    }
}

QString ReportSubmitButton::symbol() const
{
    switch (state_) {
    case State::submitted: return QStringLiteral("checkmark");
    case State::failed: return QStringLiteral("exclamationmark.triangle");
    default: return {};
    }
}

QColor ReportSubmitButton::fillColor() const
{
    if (state_ == State::submitted)
        return QColor(52, 199, 89); // the system green of the dark appearance
    if (state_ == State::submitting || !isEnabled())
        return Theme::withOpacity(Qt::white, 0.3);
    if (state_ == State::failed)
        return Theme::systemRed();
    return Theme::mix(Qt::white, QColor(225, 225, 225), hoverAmount());
}

QSize ReportSubmitButton::sizeHint() const { return {300, QFontMetrics(labelFont()).height() + 2 * kPaddingY}; }

void ReportSubmitButton::changeEvent(QEvent* event)
{
    PressableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

void ReportSubmitButton::resizeEvent(QResizeEvent* event)
{
    PressableWidget::resizeEvent(event);
    placeSpinner();
}

void ReportSubmitButton::placeSpinner()
{
    const int textWidth = QFontMetrics(labelFont()).horizontalAdvance(text());
    const int total = spinner_->width() + kSpacing + textWidth;
    spinner_->move((width() - total) / 2, (height() - spinner_->height()) / 2);
}

void ReportSubmitButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(GlassBackground::shape(rect(), kCorner), fillColor());

    const QFontMetrics metrics(labelFont());
    const QString label = text();
    const QString mark = symbol();
    const int markSide = state_ == State::submitting ? spinner_->width() : mark.isEmpty() ? 0 : Symbols::sizeForFont(13);
    const int total = markSide + (markSide > 0 ? kSpacing : 0) + metrics.horizontalAdvance(label);
    int x = (width() - total) / 2;
    if (!mark.isEmpty())
        Symbols::paint(painter, QRectF(x, (height() - markSide) / 2.0, markSide, markSide), mark, Qt::black);
    x += markSide + (markSide > 0 ? kSpacing : 0);
    painter.setFont(labelFont());
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, label);
}
