#include "menubar/PlaylistControlsRowView.h"

#include "menubar/MenuSymbols.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {
const QColor kWhite(Qt::white);
const QColor kGray(128, 128, 128);
} // namespace

PlaylistControlsRowView::PlaylistControlsRowView(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(kSize.height());
    setMinimumWidth(kSize.width());
}

bool PlaylistControlsRowView::setState(const State& state)
{
    if (state == state_)
        return false;
    state_ = state;
    update();
    return true;
}

QRectF PlaylistControlsRowView::iconRect(int index) const
{
    const qreal groupWidth = kIconPitch * (kIconCount - 1) + kIconSize;
    const qreal left = (width() - groupWidth) * 0.5 + kIconPitch * index;
    return {left, (height() - kIconSize) * 0.5, qreal(kIconSize), qreal(kIconSize)};
}

std::optional<int> PlaylistControlsRowView::iconIndex(const QPointF& point) const
{
    for (int index = 0; index < kIconCount; ++index) {
        if (iconRect(index).contains(point))
            return index;
    }
    return std::nullopt;
}

bool PlaylistControlsRowView::isEnabled(int index) const
{
    switch (index) {
    case reapply: return state_.reapplyEnabled;
    case previous: return state_.previousEnabled;
    case pausePlay: return state_.pausePlayEnabled;
    case next: return state_.nextEnabled;
    case shuffle: return state_.shuffleEnabled;
    default: return false;
    }
}

bool PlaylistControlsRowView::isActive(int index) const
{
    return index == shuffle ? state_.shuffleEnabled && state_.isShuffleOn : isEnabled(index);
}

qreal PlaylistControlsRowView::opacity(int index) const
{
    if (index == shuffle) {
        if (!state_.shuffleEnabled)
            return 0.35;
        return state_.isShuffleOn ? 1.0 : 0.5;
    }
    return isEnabled(index) ? 1.0 : 0.5;
}

QString PlaylistControlsRowView::symbolName(int index) const
{
    switch (index) {
    case reapply: return QStringLiteral("arrow.clockwise");
    case previous: return QStringLiteral("backward.fill");
    case pausePlay: return state_.isPaused ? QStringLiteral("play.fill") : QStringLiteral("pause.fill");
    case next: return QStringLiteral("forward.fill");
    case shuffle: return QStringLiteral("shuffle");
    default: return {};
    }
}

const QImage& PlaylistControlsRowView::symbol(const QString& name, bool white)
{
    const qreal ratio = devicePixelRatioF();
    const QString cacheKey = name + (white ? u'w' : u'g') + QString::number(ratio);
    auto found = symbols_.find(cacheKey);
    if (found == symbols_.end())
        found = symbols_.insert(cacheKey, MenuSymbols::image(name, white ? kWhite : kGray, kIconSize, ratio));
    return *found;
}

void PlaylistControlsRowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int index = 0; index < kIconCount; ++index) {
        const QImage& picture = symbol(symbolName(index), isActive(index));
        // A symbol we do not have leaves a gap at its place.
        if (picture.isNull())
            continue;
        const QRectF rect = iconRect(index);
        if (pressedIconIndex_ == index && isEnabled(index)) {
            painter.setOpacity(0.25);
            painter.setPen(Qt::NoPen);
            painter.setBrush(kWhite);
            painter.drawEllipse(rect.adjusted(-2, -2, 2, 2));
        }
        painter.setOpacity(opacity(index));
        painter.drawImage(rect, picture);
    }
}

void PlaylistControlsRowView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    const std::optional<int> index = iconIndex(event->position());
    if (!index || !isEnabled(*index))
        return;
    pressedIconIndex_ = index;
    update();
    Q_EMIT controlActivated(*index);
    QTimer::singleShot(kHighlightMs, this, [this] { clearPressed(); });
}

void PlaylistControlsRowView::mouseReleaseEvent(QMouseEvent* event)
{
    // Taken here, so the menu does not treat the release as a click on an item of its own.
    event->accept();
    clearPressed();
}

void PlaylistControlsRowView::clearPressed()
{
    if (!pressedIconIndex_)
        return;
    pressedIconIndex_.reset();
    update();
}
