#pragma once

#include <QByteArray>
#include <QVariant>

// Writes an XML property list: QVariantMap as dict, QVariantList as array, bool, whole numbers
// as integer, anything else as string.
class PropertyListWriter {
public:
    static QByteArray write(const QVariant& value);
};
