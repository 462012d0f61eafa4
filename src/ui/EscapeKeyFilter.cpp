#include "ui/EscapeKeyFilter.h"

#include "foundation/Shared.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

EscapeKeyFilter::EscapeKeyFilter(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

EscapeKeyFilter::~EscapeKeyFilter()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

EscapeKeyFilter& EscapeKeyFilter::shared()
{
    return Shared<EscapeKeyFilter>::instance();
}

void EscapeKeyFilter::add(QObject* owner, std::function<void()> handler)
{
    remove(owner);
    if (owner && handler)
        entries_.append(Entry{owner, std::move(handler)});
}

void EscapeKeyFilter::remove(QObject* owner)
{
    entries_.removeIf([owner](const Entry& entry) { return !entry.owner || entry.owner == owner; });
}

bool EscapeKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    // A popup closes itself on Escape, and a dialog rejects; neither must close the page beneath.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false;

    // The key passes the platform window before it reaches a widget; the widget tells the window.
    const auto* receiver = qobject_cast<QWidget*>(watched);
    if (!receiver)
        return false;
    const QWidget* target = receiver->window();
    for (auto it = entries_.crbegin(); it != entries_.crend(); ++it) {
        QObject* owner = it->owner;
        if (!owner)
            continue;
        if (auto* widget = qobject_cast<QWidget*>(owner)) {
            if (!widget->isVisible() || widget->window() != target)
                continue;
        }
        // A held key repeats: it closes one view, not every view beneath it.
        if (!key->isAutoRepeat()) {
            const std::function<void()> handler = it->handler; // it may remove itself
            handler();
        }
        return true;
    }
    return false;
}
