#pragma once

#include "platform/DesktopNotifications.h"

#include <QList>

#include <utility>

// Desktop notifications kept as (summary, body) pairs. Install with
// Shared<DesktopNotifications>::Override.
class FakeDesktopNotifications : public DesktopNotifications {
public:
    void notify(const QString& summary, const QString& body) override { shown.append({summary, body}); }

    QList<std::pair<QString, QString>> shown;
};
