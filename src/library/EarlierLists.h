#pragma once

#include <QHash>
#include <QString>

// The library's lists that earlier versions kept as one data value each in their settings file:
// each list's key with the member that keys its records (UserDefaults::setEarlierLists).
namespace EarlierLists {
QHash<QString, QString> idFields();
}
