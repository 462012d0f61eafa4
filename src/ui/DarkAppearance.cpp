#include "ui/DarkAppearance.h"

#include <QWidget>

QPalette DarkAppearance::palette()
{
    const QColor window(0x1c, 0x1c, 0x1e);
    const QColor base(0x12, 0x12, 0x14);
    const QColor raised(0x2c, 0x2c, 0x2e);
    const QColor text(0xf2, 0xf2, 0xf7);
    const QColor dimmedText(0x8e, 0x8e, 0x93);
    const QColor accent(0x0a, 0x84, 0xff);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, raised);
    palette.setColor(QPalette::ToolTipBase, raised);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmedText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, raised);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmedText);
    return palette;
}

void DarkAppearance::apply(QWidget* window)
{
    window->setPalette(palette());
    window->setAutoFillBackground(true);
}
