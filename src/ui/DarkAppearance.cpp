#include "ui/DarkAppearance.h"

#include "ui/ToolTips.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QScrollBar>
#include <QToolTip>
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
    // Tooltips are windows of their own that take Qt's tooltip palette, not the window's: the
    // platform's pale yellow would show over the dark window.
    QToolTip::setPalette(palette());
    ToolTips::install();
}

QColor DarkAppearance::popupColor() { return {0x2a, 0x2f, 0x32}; }

void DarkAppearance::applyToPopup(QComboBox* comboBox)
{
    QAbstractItemView* list = comboBox->view();
    // The list's own window is a frame whose margins the style fills from its own light
    // defaults: only a style sheet on that window reaches them.
    list->window()->setStyleSheet(QStringLiteral("QFrame { background: %1; border: none; }").arg(popupColor().name()));
    applyToScrollBars(list);
}

void DarkAppearance::applyToScrollBars(QAbstractScrollArea* area)
{
    const QString style = QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0; }"
        " QScrollBar:horizontal { background: transparent; height: 10px; margin: 0 2px 2px 2px; }"
        " QScrollBar::handle { background: rgba(255,255,255,0.25); border-radius: 4px; }"
        " QScrollBar::handle:vertical { min-height: 32px; } QScrollBar::handle:horizontal { min-width: 32px; }"
        " QScrollBar::handle:hover { background: rgba(255,255,255,0.4); }"
        " QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }"
        " QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
    area->verticalScrollBar()->setStyleSheet(style);
    area->horizontalScrollBar()->setStyleSheet(style);
}
