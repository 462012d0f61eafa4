#include "ui/AppLogo.h"

#include "ui/Theme.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPicture = 32;
constexpr int kSpacing = 10;
constexpr qreal kPictureRadius = 8;

QFont wordmarkFont() { return Theme::systemFont(18, QFont::Bold); }
} // namespace

AppLogo::AppLogo(QWidget* parent) : AppLogo(defaultPicturePath(), parent) {}

AppLogo::AppLogo(const QString& picturePath, QWidget* parent)
    : QWidget(parent), wordmark_(tr("Quorvelle"))
{
    // Read at twice the shown size, so a drawing stays sharp on dense screens.
    QImageReader reader(picturePath);
    if (reader.format() == "svg")
        reader.setScaledSize(QSize(2 * kPicture, 2 * kPicture));
    picture_ = reader.read();
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString AppLogo::defaultPicturePath()
{
    Q_INIT_RESOURCE(ui);
    return QStringLiteral(":/ui/brand/logo.svg");
}

QSize AppLogo::sizeHint() const
{
    const QFontMetrics metrics(wordmarkFont());
    const int text = metrics.horizontalAdvance(wordmark_);
    return hasPicture() ? QSize(kPicture + kSpacing + text, std::max(kPicture, metrics.height()))
                        : QSize(text, metrics.height());
}

QSize AppLogo::compactSizeHint() const
{
    const QSize whole = sizeHint();
    return hasPicture() ? QSize(kPicture, whole.height()) : whole;
}

QRectF AppLogo::wordmarkRect() const
{
    const qreal left = hasPicture() ? kPicture + kSpacing : 0;
    return QRectF(left, 0, width() - left, height());
}

void AppLogo::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    cache_.paint(painter, *this, {}, [this](QPainter& cached) { paintLogo(cached); });
}

void AppLogo::paintLogo(QPainter& painter) const
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (hasPicture()) {
        // Fitted into 32 by 32 with its proportions kept, centred vertically.
        QSizeF fitted = QSizeF(picture_.size()).scaled(kPicture, kPicture, Qt::KeepAspectRatio);
        const QRectF frame(QPointF((kPicture - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        QPainterPath clip;
        clip.addRoundedRect(frame, kPictureRadius, kPictureRadius);
        painter.save();
        painter.setClipPath(clip);
        painter.drawImage(frame, picture_);
        painter.restore();
    }
    if (width() < sizeHint().width() && hasPicture())
        return;
    painter.setPen(Qt::white);
    painter.setFont(wordmarkFont());
    painter.drawText(wordmarkRect(), Qt::AlignLeft | Qt::AlignVCenter, wordmark_);
}
