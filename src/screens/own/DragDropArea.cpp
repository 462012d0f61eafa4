#include "screens/own/DragDropArea.h"

#include "ui/GlassBackground.h"
#include "ui/LabelButton.h"
#include "ui/Theme.h"

#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kCornerRadius = 20;
constexpr int kSpacing = 16;
// The heads-up material behind the zone, at the zone's 30%.
const QColor kMaterial(34, 36, 40);

QFont captionFont() { return Theme::systemFont(12); }

LabelButton::Look selectStyle()
{
    LabelButton::Look style;
    style.font = Theme::systemFont(14);
    style.textColor = Qt::black;
    style.fill = Qt::white;
    style.hoverFill = Theme::withOpacity(Qt::white, 0.9);
    style.cornerRadius = 24;
    style.horizontalPadding = 22;
    style.verticalPadding = 8;
    style.symbol = QStringLiteral("arrow.up.circle");
    style.symbolPointSize = 12;
    style.symbolSpacing = 8;
    return style;
}
} // namespace

DragDropArea::DragDropArea(QWidget* parent) : QWidget(parent), select_(new LabelButton(tr("Select"), selectStyle(), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAcceptDrops(true);
    setFixedSize(kSize);
    select_->resize(select_->sizeHint());
    connect(select_, &LabelButton::clicked, this, &DragDropArea::selectRequested);
}

QStringList DragDropArea::localFiles(const QMimeData& data)
{
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url.toLocalFile());
    }
    return files;
}

void DragDropArea::setDragging(bool dragging)
{
    if (dragging == dragging_)
        return;
    dragging_ = dragging;
    Q_EMIT draggingChanged(dragging);
}

QRect DragDropArea::captionRect() const
{
    const int height = QFontMetrics(captionFont()).height();
    const int top = (this->height() - select_->height() - kSpacing - height) / 2 + select_->height() + kSpacing;
    return QRect(0, top, width(), height);
}

void DragDropArea::resizeEvent(QResizeEvent*)
{
    const int top = captionRect().top() - kSpacing - select_->height();
    select_->move((width() - select_->width()) / 2, top);
}

void DragDropArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF zone = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = GlassBackground::shape(zone, kCornerRadius);
    painter.fillPath(shape, Theme::withOpacity(kMaterial, 0.3));
    QPen dashed(Theme::withOpacity(Qt::white, 0.2), 1);
    dashed.setDashPattern({10, 10});
    painter.setPen(dashed);
    painter.drawPath(shape);
    painter.setFont(captionFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.6));
    painter.drawText(captionRect(), Qt::AlignHCenter | Qt::AlignVCenter, tr(kCaption));
}

void DragDropArea::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(*event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        setDragging(true);
    }
}

void DragDropArea::dragLeaveEvent(QDragLeaveEvent*) { setDragging(false); }

void DragDropArea::dropEvent(QDropEvent* event)
{
    setDragging(false);
    const QStringList files = localFiles(*event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    Q_EMIT filesDropped(files);
}
