#include "menubar/MenuSymbols.h"

#include "ui/DarkAppearance.h"
#include "ui/Symbols.h"

#include <QFile>
#include <QPalette>
#include <QPixmap>

// The resource file is part of a static library: its registration must be pulled in by hand.
static void registerMenuSymbols() { Q_INIT_RESOURCE(menubar); }

QString MenuSymbols::path(const QString& name)
{
    static const bool registered = (registerMenuSymbols(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/menubar/") + name + QStringLiteral(".svg");
}

bool MenuSymbols::exists(const QString& name) { return QFile::exists(path(name)); }

QImage MenuSymbols::image(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    if (!exists(name))
        return {};
    return Symbols::tinted(path(name), color, size, devicePixelRatio);
}

QIcon MenuSymbols::menuIcon(const QString& name)
{
    // The menus wear the application's dark appearance, whatever the desktop's theme.
    const QColor text = DarkAppearance::palette().color(QPalette::Active, QPalette::WindowText);
    QIcon icon;
    // Sharp on ordinary and doubled-density screens alike.
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage picture = image(name, text, kMenuIconSize, ratio);
        if (picture.isNull())
            return {};
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}
