#include "screens/detail/PlaylistRowButton.h"

#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kSpacing = 8;
constexpr int kHeight = 24;

QFont nameFont() { return Theme::systemFont(13); }
int listSide() { return Symbols::sizeForFont(12); }
int checkSide() { return Symbols::sizeForFont(11); }
QColor secondary() { return Theme::withOpacity(Qt::white, 0.55); }
} // namespace

PlaylistRowButton::PlaylistRowButton(const WallpaperPlaylist& playlist, std::optional<qint64> wallpaperKey, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(100), parent), playlist_(playlist),
      marked_(wallpaperKey && playlist.wallpaperKeys.contains(*wallpaperKey))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize PlaylistRowButton::sizeHint() const
{
    const int name = QFontMetrics(nameFont()).horizontalAdvance(playlist_.name);
    return {listSide() + kSpacing + name + kSpacing + checkSide(), kHeight};
}

QSize PlaylistRowButton::minimumSizeHint() const { return {listSide() + 3 * kSpacing + checkSide(), kHeight}; }

void PlaylistRowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal middle = height() / 2.0;
    Symbols::paint(painter, QRectF(0, middle - listSide() / 2.0, listSide(), listSide()), QStringLiteral("list.bullet"), secondary());
    // The check mark keeps its place at the right end; the name gives way.
    const int nameLeft = listSide() + kSpacing;
    const int nameRight = marked_ ? width() - checkSide() - kSpacing : width();
    const QFontMetrics metrics(nameFont());
    painter.setFont(nameFont());
    painter.setPen(Qt::white);
    painter.drawText(QRect(nameLeft, 0, nameRight - nameLeft, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        metrics.elidedText(playlist_.name, Qt::ElideRight, nameRight - nameLeft));
    if (marked_) {
        Symbols::paint(painter, QRectF(width() - checkSide(), middle - checkSide() / 2.0, checkSide(), checkSide()),
            QStringLiteral("checkmark"), secondary());
    }
}
