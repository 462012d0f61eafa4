#include "ui/Symbols.h"

#include <QDirIterator>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Share of the picture's pixels that are drawn, and whether each drawn pixel wears `colour`.
struct Coverage {
    double drawn = 0;
    bool tinted = true;
};

Coverage coverageOf(const QImage& picture, QColor colour)
{
    Coverage coverage;
    int drawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++drawn;
            coverage.tinted &= pixel.red() == colour.red() && pixel.green() == colour.green() && pixel.blue() == colour.blue();
        }
    coverage.drawn = double(drawn) / (picture.width() * picture.height());
    return coverage;
}

// A broken path in one SVG renders as nothing: every shipped symbol must show a shape that
// neither fills its square nor vanishes, at both pixel densities.
TEST(Symbols, EveryShippedSymbolDrawsATintedShape)
{
    ASSERT_TRUE(Symbols::exists(QStringLiteral("heart"))); // registers the resources
    QStringList names;
    for (QDirIterator it(QStringLiteral(":/ui")); it.hasNext();) {
        const QString file = it.next();
        if (file.endsWith(QLatin1String(".svg")))
            names << QFileInfo(file).completeBaseName();
    }
    ASSERT_GE(names.size(), 40);
    for (const QString& name : names) {
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage picture = Symbols::image(name, Qt::red, 24, ratio);
            ASSERT_EQ(picture.width(), int(24 * ratio)) << name.toStdString();
            const Coverage coverage = coverageOf(picture, Qt::red);
            EXPECT_GT(coverage.drawn, 0.04) << name.toStdString();
            EXPECT_LT(coverage.drawn, 0.85) << name.toStdString();
            EXPECT_TRUE(coverage.tinted) << name.toStdString();
        }
    }
}

TEST(Symbols, FilledAndOutlineHeartsDiffer)
{
    const double outline = coverageOf(Symbols::image(QStringLiteral("heart"), Qt::white, 40), Qt::white).drawn;
    const double filled = coverageOf(Symbols::image(QStringLiteral("heart.fill"), Qt::white, 40), Qt::white).drawn;
    EXPECT_GT(filled, outline * 1.5);
}

TEST(Symbols, MissingSymbolsAndEmptySizesDrawNothing)
{
    EXPECT_TRUE(Symbols::image(QStringLiteral("no.such.symbol"), Qt::white, 24).isNull());
    EXPECT_TRUE(Symbols::image(QStringLiteral("heart"), Qt::white, 0).isNull());
    EXPECT_TRUE(Symbols::image(QStringLiteral("heart"), Qt::white, -3).isNull());

    QImage canvas(30, 30, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    Symbols::paint(painter, QRectF(0, 0, 30, 30), QStringLiteral("no.such.symbol"), Qt::white);
    Symbols::paint(painter, QRectF(0, 0, 0, 30), QStringLiteral("heart"), Qt::white);
    painter.end();
    EXPECT_EQ(coverageOf(canvas, Qt::white).drawn, 0);
}

// Kept pictures are told apart by every part of what was asked: one asked before must never
// stand in for another colour, size or pixel density.
TEST(Symbols, KeptPicturesDifferByEveryPartOfTheAsk)
{
    const QString heart = QStringLiteral("heart");
    const QImage first = Symbols::image(heart, Qt::white, 24, 1.0);
    const struct {
        const char* name;
        QString symbol;
        QColor color;
        int size;
        qreal ratio;
    } cases[] = {
        {"another symbol", QStringLiteral("heart.fill"), Qt::white, 24, 1.0},
        {"another colour", heart, Qt::red, 24, 1.0},
        {"another alpha", heart, QColor(255, 255, 255, 128), 24, 1.0},
        {"another size", heart, Qt::white, 25, 1.0},
        {"another density", heart, Qt::white, 24, 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage other = Symbols::image(c.symbol, c.color, c.size, c.ratio);
        EXPECT_EQ(other, Symbols::tinted(QStringLiteral(":/ui/") + c.symbol + QStringLiteral(".svg"), c.color, c.size, c.ratio));
        EXPECT_NE(other, first);
    }
    EXPECT_EQ(Symbols::image(heart, Qt::white, 24, 1.0), first) << "the same ask is the same picture";
}

// A symbol button paints on every video frame beneath it; what the program ships cannot change
// while it runs, so neither a shipped nor a missing symbol is searched for again.
TEST(Symbols, RepeatedPaintsDoNotSearchTheResourcesAgain)
{
    const struct {
        const char* name;
        bool shipped;
    } cases[] = {
        {"chevron.left", true},
        {"no.such.symbol.either", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        ASSERT_EQ(Symbols::exists(name), c.shipped);
        const int searched = Symbols::lookupCount();
        QImage canvas(30, 30, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        for (int paint = 0; paint < 5; ++paint) {
            Symbols::paint(painter, QRectF(0, 0, 30, 30), name, Qt::white);
            EXPECT_EQ(Symbols::exists(name), c.shipped);
        }
        painter.end();
        EXPECT_EQ(Symbols::lookupCount(), searched);
        EXPECT_EQ(coverageOf(canvas, Qt::white).drawn > 0, c.shipped);
    }
}

} // namespace
