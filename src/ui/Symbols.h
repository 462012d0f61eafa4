#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;
class QRectF;

// The symbol pictures of the windows ("heart.fill", "chevron.left", ...): our own single-colour
// SVGs under resources/ui, tinted in code so one file serves every colour. Tinted pictures are
// kept in a small cache, so painting a symbol on every hover frame costs a blit. GUI thread.
class Symbols {
public:
    // Whether the symbol ships with the application.
    static bool exists(const QString& name);
    // Times the resources were searched for a symbol, for tests that check paints do not.
    static int lookupCount() { return lookups_; }
    // The symbol in `color` in a square of `size` logical pixels, drawn for `devicePixelRatio`;
    // a null image when no such symbol exists or the size is not positive.
    static QImage image(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);
    // Draws the symbol centred in `box`, as large as the box's shorter side, sharp at the
    // painter's pixel density. A missing symbol draws nothing.
    static void paint(QPainter& painter, const QRectF& box, const QString& name, const QColor& color);
    // The side of the square a symbol takes when set in a font of `pointSize` points.
    static int sizeForFont(qreal pointSize);
    // The picture rendered from any SVG file, tinted; null when the file is no SVG.
    static QImage tinted(const QString& svgPath, const QColor& color, int size, qreal devicePixelRatio);

private:
    static QString path(const QString& name);

    static int lookups_;
};
