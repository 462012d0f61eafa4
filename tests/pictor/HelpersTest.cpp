#include "pictor/processing/Border.h"
#include "pictor/cache/KeyHashing.h"
#include "pictor/cache/Sha256.h"
#include "pictor/processing/SizeGeometry.h"
#include "pictor/views/TextForms.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pictor;

namespace {

TEST(KeyHashingTest, Sha256HexOfUtf8)
{
    EXPECT_EQ(pt::sha256(QString()), QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    EXPECT_EQ(pt::sha256(QStringLiteral("abc")), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
}

// Every length around the block and padding edges, against Qt's portable implementation.
TEST(KeyHashingTest, Sha256MatchesAtEveryPaddingEdge)
{
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    for (const qsizetype length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 1 << 20}) {
        const QByteArrayView view(bytes.constData(), length);
        EXPECT_EQ(Sha256::digest(view), QCryptographicHash::hash(view, QCryptographicHash::Sha256)) << length;
    }
}

TEST(KeyHashingTest, FileExtensionOfTheFirstPartBeforeAnAt)
{
    const struct {
        const char* key;
        std::optional<QString> extension;
    } cases[] = {
        {"image.png", QStringLiteral("png")},     {"photo.jpg@2x", QStringLiteral("jpg")}, {"a.tar.gz", QStringLiteral("gz")},
        {"@poster.webp", QStringLiteral("webp")}, {"name@x.png", std::nullopt},            {"trailing.", std::nullopt},
        {"nodot", std::nullopt},                  {"@", std::nullopt},                     {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(pt::fileExtension(QString::fromUtf8(c.key)), c.extension);
    }
}

TEST(SizeGeometryTest, FitFillAndTheCropRectangle)
{
    EXPECT_EQ(pt::constrained(QSizeF(200, 100), QSizeF(100, 100)), QSizeF(100, 50));
    EXPECT_EQ(pt::filling(QSizeF(200, 100), QSizeF(100, 100)), QSizeF(200, 100));
    // A height of 0 has ratio 1.
    EXPECT_EQ(pt::constrained(QSizeF(5, 0), QSizeF(300, 200)), QSizeF(200, 200));
    EXPECT_EQ(pt::constrained(QSizeF(5, 0), QSizeF(200, 300)), QSizeF(200, 200));
    EXPECT_EQ(pt::resize(QSizeF(400, 200), QSizeF(100, 100), ContentMode::none), QSizeF(100, 100));

    const struct {
        QSizeF crop;
        QPointF anchor;
        QRectF rect;
    } crops[] = {
        {{100, 50}, {0.5, 0.5}, {50, 25, 100, 50}},  {{100, 50}, {-3, 7}, {0, 50, 100, 50}},
        {{100, 50}, {2, -1}, {100, 0, 100, 50}},     {{400, 400}, {0.5, 0.5}, {0, 0, 200, 100}},
    };
    for (const auto& c : crops)
        EXPECT_EQ(pt::constrainedRect(QSizeF(200, 100), c.crop, c.anchor), c.rect);
}

TEST(SizeGeometryTest, RoundedRectRadiusIsCutToHalfTheShorterSide)
{
    const QRectF square(0, 0, 100, 100);
    const QPainterPath circle = pt::roundedRectPath(square, RectCorner::all, 1000);
    EXPECT_FALSE(circle.contains(QPointF(2, 2)));
    EXPECT_TRUE(circle.contains(QPointF(50, 2)));
    const QPainterPath square2 = pt::roundedRectPath(square, RectCorner::all, -5);
    EXPECT_TRUE(square2.contains(QPointF(0.5, 0.5)));
    // Only the top-left corner (on screen) rounded.
    const QPainterPath one = pt::roundedRectPath(square, RectCorner::topLeft, 40);
    EXPECT_FALSE(one.contains(QPointF(3, 3)));
    EXPECT_TRUE(one.contains(QPointF(97, 3)));
    EXPECT_TRUE(one.contains(QPointF(3, 97)));
    EXPECT_TRUE(pt::roundedRectPath(QRectF(0, 0, 0, 10), RectCorner::all, 4).isEmpty());
}

TEST(TextFormsTest, NumbersAreShortestRoundTripWithAFraction)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {2, "2.0"},          {0.25, "0.25"},      {-0.5, "-0.5"},  {0.1 + 0.2, "0.30000000000000004"},
        {1e-7, "1e-07"},     {1e20, "1e+20"},     {123456, "123456.0"},
        {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextForms::number(c.value), QString::fromLatin1(c.text));
    EXPECT_EQ(TextForms::size(QSizeF(100, 50)), QStringLiteral("(100.0, 50.0)"));
    EXPECT_EQ(TextForms::colorComponents(QColor(255, 128, 0)), QStringLiteral("(1.00,0.50,0.00,1.00)"));
}

} // namespace
