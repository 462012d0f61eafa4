#include "ui/PaintCache.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A translucent widget that paints an antialiased shape with text, the way the bars do.
class Overlay : public QWidget {
public:
    Overlay() { resize(60, 30); }
    QList<qreal> state{0.5};
    PaintCache cache;

    static void draw(QPainter& painter, qreal opacity)
    {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath pill;
        pill.addRoundedRect(QRectF(0.5, 0.5, 59, 29), 15, 15);
        painter.fillPath(pill, QColor(34, 36, 40, 200));
        painter.setOpacity(opacity);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, 0, 60, 30), Qt::AlignCenter, QStringLiteral("Tab"));
    }
    // What one repaint of the widget puts over `beneath`.
    QImage over(const QImage& beneath)
    {
        QImage target = beneath;
        QPainter painter(&target);
        cache.paint(painter, *this, state, [this](QPainter& cached) { draw(cached, state.value(0)); });
        return target;
    }
};

QImage background(QColor colour)
{
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The kept picture blends over whatever lies beneath as painting directly would (up to rounding).
TEST(PaintCache, BlitMatchesPaintingInPlaceOverChangingBackgrounds)
{
    Overlay overlay;
    for (QColor colour : {QColor(Qt::red), QColor(20, 200, 90), QColor(Qt::black)}) {
        QImage direct = background(colour);
        {
            QPainter painter(&direct);
            Overlay::draw(painter, 0.5);
        }
        const QImage cached = overlay.over(background(colour));
        int worst = 0;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x) {
                const QRgb a = direct.pixel(x, y), b = cached.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, 2) << colour.name().toStdString();
    }
    EXPECT_EQ(overlay.cache.renderCount(), 1);
}

TEST(PaintCache, PaintsAgainOnlyWhenWhatItShowsChanges)
{
    const struct {
        const char* change;
        std::function<void(Overlay&)> apply;
        int renders;
    } cases[] = {
        {"nothing (a repaint from beneath)", [](Overlay&) {}, 1},
        {"state", [](Overlay& overlay) { overlay.state = {0.8}; }, 2},
        {"size", [](Overlay& overlay) { overlay.resize(61, 30); }, 2},
        {"invalidated", [](Overlay& overlay) { overlay.cache.invalidate(); }, 2},
    };
    for (const auto& row : cases) {
        Overlay overlay;
        overlay.over(background(Qt::blue));
        row.apply(overlay);
        overlay.over(background(Qt::green));
        EXPECT_EQ(overlay.cache.renderCount(), row.renders) << row.change;
    }
}

} // namespace
