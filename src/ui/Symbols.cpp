#include "ui/Symbols.h"

#include <QCache>
#include <QFile>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {
// What a tinted picture is kept under, compared as it is: a button asks for its symbol on every
// paint, and formatting a text key each time cost more than the lookup.
struct TintKey {
    QString name;
    QRgb rgba;
    int size;
    qreal ratio;
    bool operator==(const TintKey&) const = default;
};
size_t qHash(const TintKey& key, size_t seed = 0) { return qHashMulti(seed, key.name, key.rgba, key.size, key.ratio); }
} // namespace

// The resource file is part of a static library: its registration must be pulled in by hand.
static void registerSymbols() { Q_INIT_RESOURCE(ui); }

QString Symbols::path(const QString& name)
{
    static const bool registered = (registerSymbols(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/ui/") + name + QStringLiteral(".svg");
}

int Symbols::lookups_ = 0;

bool Symbols::exists(const QString& name)
{
    // The shipped symbols are fixed when the program is built; a button asks on every paint.
    static QHash<QString, bool> known;
    auto found = known.constFind(name);
    if (found == known.cend()) {
        ++lookups_;
        found = known.insert(name, QFile::exists(path(name)));
    }
    return *found;
}

QImage Symbols::image(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    if (size <= 0 || !(devicePixelRatio > 0) || !exists(name))
        return {};
    // Cost in kilobytes; a few hundred hover-sized symbols fit.
    static QCache<TintKey, QImage> cache(8 * 1024);
    const TintKey key{name, color.rgba(), size, devicePixelRatio};
    if (const QImage* cached = cache.object(key))
        return *cached;
    QImage picture = tinted(path(name), color, size, devicePixelRatio);
    if (!picture.isNull())
        cache.insert(key, new QImage(picture), std::max<qsizetype>(1, picture.sizeInBytes() / 1024));
    return picture;
}

void Symbols::paint(QPainter& painter, const QRectF& box, const QString& name, const QColor& color)
{
    const int side = int(std::floor(std::min(box.width(), box.height())));
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage picture = image(name, color, side, ratio);
    if (picture.isNull())
        return;
    const QRectF target(box.center().x() - side / 2.0, box.center().y() - side / 2.0, side, side);
    painter.drawImage(target, picture);
}

int Symbols::sizeForFont(qreal pointSize) { return std::max(1, int(std::lround(pointSize * 1.2))); }

QImage Symbols::tinted(const QString& svgPath, const QColor& color, int size, qreal devicePixelRatio)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid() || size <= 0)
        return {};
    const int pixels = qRound(size * devicePixelRatio);
    QImage picture(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The drawing's shape, filled with the colour: the SVGs are drawn in black.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(picture.rect(), color);
    painter.end();
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}
