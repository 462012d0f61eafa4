#include "ui/FrameComposer.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr QSize kPicture(48, 20);

// Opaque pixels of every shade across the picture.
QImage picture()
{
    QImage image(kPicture, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 5 % 256, y * 13 % 256, (x * y * 7) % 256));
    return image;
}

// Every alpha from clear to opaque, with colours no brighter than their alpha.
QImage overlay()
{
    QImage image(kPicture, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = (x * 20 + y * 11) % 256;
            image.setPixel(x, y, qPremultiply(qRgba(200, (x * 9) % 256, 40, alpha)));
        }
    return image;
}

QImage canvas(QImage::Format format)
{
    QImage image(64, 32, format);
    image.fill(QColor(10, 120, 30));
    return image;
}

using Prepare = std::function<void(QPainter&)>;
using Draw = std::function<bool(QPainter&, const QRectF&)>;
using Reference = std::function<void(QPainter&, const QRectF&)>;

// What the composer paints, and what the painter paints by itself, on the same canvas.
struct Painted {
    bool composed;
    QImage image;
};
Painted paintWith(QImage::Format format, const Prepare& prepare, const QRectF& target, const Draw& draw)
{
    QImage image = canvas(format);
    QPainter painter(&image);
    prepare(painter);
    const bool composed = draw(painter, target);
    painter.end();
    return {composed, image};
}

} // namespace

// One pass paints what a copy of the picture and a blend of its cover would, wherever the
// painter may take it; where it may not, it leaves the canvas alone for the usual road.
TEST(FrameComposer, PaintsWhatThePainterWouldOrNothing)
{
    const QImage frame = picture();
    const QImage cover = overlay();
    const QColor veil(18, 18, 20, 102);
    const Draw drawOver = [&](QPainter& p, const QRectF& at) { return FrameComposer::drawOver(p, at, frame, cover); };
    const Reference paintOver = [&](QPainter& p, const QRectF& at) {
        p.drawImage(at.topLeft(), frame);
        p.drawImage(at.topLeft(), cover);
    };
    const Draw drawVeiled = [&](QPainter& p, const QRectF& at) { return FrameComposer::drawVeiled(p, at, frame, veil); };
    const Reference paintVeiled = [&](QPainter& p, const QRectF& at) {
        p.drawImage(at.topLeft(), frame);
        p.fillRect(at, veil);
    };
    const Prepare none = [](QPainter&) {};

    const struct {
        const char* name;
        QImage::Format format;
        Prepare prepare;
        QRectF target;
        bool composes;
    } cases[] = {
        {"an opaque canvas", QImage::Format_RGB32, none, QRectF(QPointF(0, 0), kPicture), true},
        {"a premultiplied canvas, the picture placed", QImage::Format_ARGB32_Premultiplied, none, QRectF(QPointF(9, 5), kPicture), true},
        {"a translated painter", QImage::Format_RGB32, [](QPainter& p) { p.translate(7, 3); }, QRectF(QPointF(2, 1), kPicture), true},
        {"partly off the canvas", QImage::Format_RGB32, none, QRectF(QPointF(30, 20), kPicture), true},
        {"a scaled painter", QImage::Format_RGB32, [](QPainter& p) { p.scale(2, 2); }, QRectF(QPointF(0, 0), kPicture), false},
        {"a clip of the painter's user", QImage::Format_RGB32, [](QPainter& p) { p.setClipRect(0, 0, 10, 10); }, QRectF(QPointF(0, 0), kPicture), false},
        {"half opacity", QImage::Format_RGB32, [](QPainter& p) { p.setOpacity(0.5); }, QRectF(QPointF(0, 0), kPicture), false},
        {"another composition", QImage::Format_RGB32, [](QPainter& p) { p.setCompositionMode(QPainter::CompositionMode_Plus); }, QRectF(QPointF(0, 0), kPicture), false},
        {"a 16-bit canvas", QImage::Format_RGB16, none, QRectF(QPointF(0, 0), kPicture), false},
        {"a target of another size", QImage::Format_RGB32, none, QRectF(0, 0, 40, 20), false},
        {"between pixels", QImage::Format_RGB32, none, QRectF(QPointF(0.5, 0), kPicture), false},
    };
    for (const auto& c : cases) {
        for (const auto& [kind, draw, reference] : {std::tuple{"cover", drawOver, paintOver}, std::tuple{"veil", drawVeiled, paintVeiled}}) {
            SCOPED_TRACE(std::string(c.name) + ", " + kind);
            const Painted composed = paintWith(c.format, c.prepare, c.target, draw);
            EXPECT_EQ(composed.composed, c.composes);
            if (!c.composes) {
                EXPECT_EQ(composed.image, canvas(c.format)) << "nothing painted";
                continue;
            }
            const Painted expected = paintWith(c.format, c.prepare, c.target, [&](QPainter& p, const QRectF& at) {
                reference(p, at);
                return true;
            });
            EXPECT_EQ(composed.image, expected.image);
        }
    }
}

// A repaint of part of a widget writes that part only: the rest of the window's picture
// belongs to other widgets, or to frames already shown.
TEST(FrameComposer, KeepsToThePartBeingRepainted)
{
    class Slide : public QWidget {
    public:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            composed = FrameComposer::drawOver(painter, rect(), picture(), overlay());
        }
        bool composed = false;
    } slide;
    slide.resize(kPicture);
    QImage full(kPicture, QImage::Format_RGB32);
    slide.render(&full);
    ASSERT_TRUE(slide.composed);

    QImage part(kPicture, QImage::Format_RGB32);
    part.fill(Qt::black);
    const QRect repainted(10, 4, 12, 6);
    slide.render(&part, repainted.topLeft(), QRegion(repainted));
    ASSERT_TRUE(slide.composed);
    for (int y = 0; y < kPicture.height(); ++y)
        for (int x = 0; x < kPicture.width(); ++x)
            ASSERT_EQ(part.pixel(x, y), repainted.contains(x, y) ? full.pixel(x, y) : qRgb(0, 0, 0)) << x << "," << y;
}

// Straight into an image, the pass writes what the painter's road writes, within the region
// asked and nowhere else; an image it may not write into is left alone.
TEST(FrameComposer, WritesAnImageWithinTheRegionAsked)
{
    const QImage frame = picture();
    const QImage cover = overlay();
    const struct {
        const char* name;
        QPoint at;
        QRegion region;
    } cases[] = {
        {"the whole picture", QPoint(0, 0), QRegion(0, 0, 64, 32)},
        {"two pieces", QPoint(9, 5), QRegion(9, 5, 10, 4) + QRegion(30, 12, 20, 8)},
        {"partly off the image", QPoint(30, 20), QRegion(0, 0, 64, 32)},
        {"a region beside the picture", QPoint(0, 0), QRegion(50, 0, 10, 10)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage composed = canvas(QImage::Format_RGB32);
        ASSERT_TRUE(FrameComposer::drawOver(composed, c.region, c.at, frame, cover));
        QImage expected = canvas(QImage::Format_RGB32);
        {
            QPainter painter(&expected);
            painter.setClipRegion(c.region);
            painter.drawImage(c.at, frame);
            painter.drawImage(c.at, cover);
        }
        EXPECT_EQ(composed, expected);
    }

    QImage shared = canvas(QImage::Format_RGB32);
    const QImage copy = shared;
    EXPECT_FALSE(FrameComposer::drawOver(shared, QRegion(shared.rect()), QPoint(), frame, cover));
    QImage narrow = canvas(QImage::Format_RGB16);
    EXPECT_FALSE(FrameComposer::drawOver(narrow, QRegion(narrow.rect()), QPoint(), frame, cover));
    EXPECT_EQ(narrow, canvas(QImage::Format_RGB16));
}
