#include "menubar/PopupClickReplay.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

PopupClickReplay::PopupClickReplay(QMenu* menu) : QObject(menu), menu_(menu)
{
    menu->installEventFilter(this);
}

void PopupClickReplay::followSubmenus()
{
    for (QMenu* submenu : menu_->findChildren<QMenu*>()) {
        submenu->removeEventFilter(this);
        submenu->installEventFilter(this);
    }
}

bool PopupClickReplay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == menu_ && event->type() == QEvent::Show)
        followSubmenus();
    if (event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    const auto* press = static_cast<QMouseEvent*>(event);
    const QPoint global = press->globalPosition().toPoint();
    // A press on one of the open menus is the menu's own.
    if (const QWidget* under = QApplication::widgetAt(global); !under || qobject_cast<const QMenu*>(under->window()))
        return QObject::eventFilter(watched, event);
    const Qt::MouseButton button = press->button();
    const Qt::KeyboardModifiers modifiers = press->modifiers();
    // Once the press has closed the menu, the window beneath gets the whole click.
    QTimer::singleShot(0, this, [global, button, modifiers] {
        if (QApplication::activePopupWidget())
            return;
        QWidget* target = QApplication::widgetAt(global);
        QWindow* window = target ? target->window()->windowHandle() : nullptr;
        if (!window)
            return;
        const QPointF local = window->mapFromGlobal(QPointF(global));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            auto* click = new QMouseEvent(type, local, local, QPointF(global), button,
                type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton, modifiers);
            QCoreApplication::postEvent(window, click);
        }
    });
    return QObject::eventFilter(watched, event);
}
