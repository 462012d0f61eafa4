#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

// The small symbol pictures of the tray item and its menu ("clock", "pause.fill", ...): our own
// single-colour SVGs, drawn at the size asked for and tinted in code, so one file serves the
// white, gray and template looks. GUI thread.
class MenuSymbols {
public:
    static constexpr int kMenuIconSize = 16;

    // Whether the symbol ships with the application.
    static bool exists(const QString& name);
    // The symbol in `color` at `size` logical pixels (drawn for `devicePixelRatio`); a null image
    // when no such symbol exists.
    static QImage image(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);
    // A 16-point menu icon tinted with the dark appearance's text colour; an empty icon when no such symbol
    // exists, so the item shows without a picture.
    static QIcon menuIcon(const QString& name);

private:
    static QString path(const QString& name);
};
