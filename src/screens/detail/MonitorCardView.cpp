#include "screens/detail/MonitorCardView.h"

#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {
constexpr int kSpacing = 6;
constexpr qreal kCornerRadius = 10;
constexpr int kNamePadding = 10;
constexpr int kMaxNameLines = 2;

QFont nameFont() { return Theme::systemFont(12, QFont::Medium); }
QFont mainFont() { return Theme::systemFont(10, QFont::Medium); }
QColor hoverBorder() { return QColor::fromRgbF(0, 0.48f, 1); }
QColor cardBorder() { return Theme::withOpacity(Theme::systemGray(), 0.35); }

// The name in at most two centred lines; the second ends in an ellipsis when the name goes on.
QStringList nameLines(const QString& name, int width)
{
    QStringList lines;
    QTextLayout layout(name, nameFont());
    layout.beginLayout();
    while (lines.size() < kMaxNameLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines.append(name.mid(line.textStart(), line.textLength()).trimmed());
        if (lines.size() == kMaxNameLines && line.textStart() + line.textLength() < name.size())
            lines.last() = QFontMetrics(nameFont()).elidedText(name.mid(line.textStart()), Qt::ElideRight, width);
    }
    layout.endLayout();
    return lines;
}
} // namespace

MonitorCardView::MonitorCardView(const QString& name, bool isMain, QSize size, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(60), parent), name_(name), isMain_(isMain)
{
    setFixedSize(size);
}

QColor MonitorCardView::borderColor() const { return Theme::mix(cardBorder(), hoverBorder(), hoverAmount()); }

qreal MonitorCardView::borderWidth() const { return 0.5 + (5 - 0.5) * hoverAmount(); }

void MonitorCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int symbolSide = Symbols::sizeForFont(24);
    const QFontMetrics nameMetrics(nameFont());
    const QStringList lines = nameLines(name_, width() - 2 * kNamePadding);
    const int mainHeight = isMain_ ? kSpacing + QFontMetrics(mainFont()).height() : 0;
    const int contentHeight = symbolSide + kSpacing + int(lines.size()) * nameMetrics.height() + mainHeight;
    int y = (height() - contentHeight) / 2;

    Symbols::paint(painter, QRectF((width() - symbolSide) / 2.0, y, symbolSide, symbolSide), QStringLiteral("display"),
        Theme::withOpacity(Qt::white, 0.7));
    y += symbolSide + kSpacing;
    painter.setFont(nameFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.9));
    for (const QString& line : lines) {
        painter.drawText(QRect(kNamePadding, y, width() - 2 * kNamePadding, nameMetrics.height()), Qt::AlignCenter, line);
        y += nameMetrics.height();
    }
    if (isMain_) {
        painter.setFont(mainFont());
        painter.setPen(Theme::withOpacity(Qt::white, 0.5));
        painter.drawText(QRect(0, y + kSpacing, width(), QFontMetrics(mainFont()).height()), Qt::AlignCenter, tr("Main"));
    }

    const qreal line = borderWidth();
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(line / 2, line / 2, -line / 2, -line / 2), kCornerRadius, kCornerRadius);
    painter.setPen(QPen(borderColor(), line));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}
