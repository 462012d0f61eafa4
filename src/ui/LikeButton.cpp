#include "ui/LikeButton.h"

#include "library/LikedWallpapersService.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>

#include <algorithm>

namespace {

const auto kHoverCurve = AnimatedValue::Curve::easeInOut(150);
const auto kLikedCurve = AnimatedValue::Curve::easeInOut(200);

// A blurred copy of a picture's shape in one colour: two passes of a box blur per axis come
// close to the soft shadow of a glow.
QImage glowOf(const QImage& shape, int radius, QColor colour)
{
    const int margin = radius * 2;
    QImage alpha(shape.width() + 2 * margin, shape.height() + 2 * margin, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.drawImage(margin, margin, shape);
    }
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<int> line(size_t(std::max(w, h)));
    const auto blur = [&](int count, int length, auto at) {
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < count; ++i) {
                for (int j = 0; j < length; ++j)
                    line[size_t(j)] = at(i, j);
                int sum = 0;
                for (int j = -radius; j <= radius; ++j)
                    sum += j >= 0 && j < length ? line[size_t(j)] : 0;
                for (int j = 0; j < length; ++j) {
                    at(i, j) = uchar(sum / (2 * radius + 1));
                    const int out = j - radius;
                    const int in = j + radius + 1;
                    sum += (in < length ? line[size_t(in)] : 0) - (out >= 0 ? line[size_t(out)] : 0);
                }
            }
    };
    blur(h, w, [&](int y, int x) -> uchar& { return alpha.scanLine(y)[x]; });
    blur(w, h, [&](int x, int y) -> uchar& { return alpha.scanLine(y)[x]; });
    QImage glow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    glow.fill(colour);
    QPainter painter(&glow);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, alpha);
    return glow;
}

} // namespace

LikeButton::Look LikeButton::Look::posterCard() { return {false, 18, false, false, false, 40}; }
LikeButton::Look LikeButton::Look::heroOverlay() { return {false, 20, false, false, false, 44}; }
LikeButton::Look LikeButton::Look::fullScreenFootBar() { return {false, 18, true, true, false, 36}; }

LikeButton::LikeButton(const WallpaperModel& wallpaper, const Look& look, QWidget* parent)
    : LikeButton(wallpaper, look, LikedWallpapersService::shared(), parent)
{
}

LikeButton::LikeButton(const WallpaperModel& wallpaper, const Look& look, LikedWallpapersService& liked, QWidget* parent)
    : PressableWidget(kHoverCurve, parent), wallpaper_(wallpaper), look_(look), liked_(liked)
{
    setFixedSize(sizeHint());
    likedness_.setValue(isLiked() ? 1 : 0);
    connect(this, &PressableWidget::clicked, this, &LikeButton::tap);
    connect(&likedness_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&liked_, &LikedWallpapersService::likedWallpapersChanged, this, &LikeButton::followService);
    connect(&liked_, &LikedWallpapersService::waitingChangesChanged, this, &LikeButton::followService);
}

void LikeButton::setWallpaper(const WallpaperModel& wallpaper)
{
    wallpaper_ = wallpaper;
    // Another wallpaper's heart does not fade from the previous one's.
    likedness_.setValue(isLiked() ? 1 : 0);
    update();
}

// While a long stored list is still being read the heart shows empty rather than hold up the
// window, unless a change waiting for the list likes the wallpaper; it fills when the list arrives.
bool LikeButton::isLiked() const { return wallpaper_.key && liked_.showsLiked(*wallpaper_.key); }

void LikeButton::followService() { likedness_.animateTo(isLiked() ? 1 : 0, kLikedCurve); }

qreal LikeButton::labelOpacity() const
{
    const qreal hover = hoverAmount();
    if (look_.hoverSoftOpacity)
        return 1.0 - 0.08 * hover;
    if (look_.alwaysFullOpacity)
        return 1.0;
    return 0.7 + 0.3 * hover;
}

QColor LikeButton::heartColor() const { return Theme::mix(Qt::white, Theme::systemRed(), likedness_.value()); }

QSize LikeButton::sizeHint() const
{
    const int side = std::max(0, look_.frameSize);
    return {side, side};
}

void LikeButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    cache_.paint(painter, *this, {hoverAmount(), likedness_.value()}, [this](QPainter& cached) { paintHeart(cached); });
}

void LikeButton::paintHeart(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = rect();
    const qreal hover = hoverAmount();
    const qreal liked = likedness_.value();
    const QColor colour = heartColor();
    const int side = Symbols::sizeForFont(look_.fontSize);
    const QRectF heart(frame.center().x() - side / 2.0, frame.center().y() - side / 2.0, side, side);

    if (look_.enableGlow) {
        const int radius = qRound(4 + 2 * hover);
        const QImage shape = Symbols::image(QStringLiteral("heart.fill"), Qt::white, side, devicePixelRatioF());
        if (!shape.isNull()) {
            QImage glow = glowOf(shape, qRound(radius * devicePixelRatioF()), Theme::withOpacity(Qt::white, 0.1 + 0.08 * hover));
            glow.setDevicePixelRatio(devicePixelRatioF());
            const qreal margin = 2.0 * radius;
            painter.drawImage(heart.topLeft() - QPointF(margin, margin), glow);
        }
    }

    painter.setOpacity(labelOpacity());
    if (look_.background) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Qt::black, 0.2 + 0.1 * hover));
        painter.drawEllipse(frame);
    }
    // The outline fades into the filled heart as the like arrives.
    const qreal opacity = painter.opacity();
    if (liked < 1) {
        painter.setOpacity(opacity * (1 - liked));
        Symbols::paint(painter, heart, QStringLiteral("heart"), colour);
    }
    if (liked > 0) {
        painter.setOpacity(opacity * liked);
        Symbols::paint(painter, heart, QStringLiteral("heart.fill"), colour);
    }
}

// The tap means what the heart shows: an empty heart likes, a full one unlikes, also while the
// list is read (the service then keeps the change, so it outlives this button).
void LikeButton::tap()
{
    if (!wallpaper_.key) {
        emit toggled(false);
    } else if (isLiked()) {
        liked_.removeWallpaper(wallpaper_.key);
        emit toggled(false);
    } else {
        liked_.likeUnlessLiked(wallpaper_);
        emit toggled(true);
    }
}
