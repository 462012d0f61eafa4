#include "signalry/TrackNavigationModifier.h"

#include "signalry/Signalry.h"

#include <QEvent>

namespace signalry {

TrackNavigationModifier::TrackNavigationModifier(QObject* view, QString path) : QObject(view), path_(std::move(path))
{
    view->installEventFilter(this);
}

bool TrackNavigationModifier::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Show)
        Signalry::navigationPathChanged(path_);
    return false;
}

} // namespace signalry
