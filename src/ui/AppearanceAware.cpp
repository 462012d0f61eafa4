#include "ui/AppearanceAware.h"

#include <QWidget>

void AppearanceAware::tell(QWidget* widget, bool appeared)
{
    auto* aware = dynamic_cast<AppearanceAware*>(widget);
    if (!aware)
        return;
    if (appeared)
        aware->appeared();
    else
        aware->disappeared();
}
