#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

// Reads an XML property list, as the disk-image tool prints it: dict becomes QVariantMap, array
// QVariantList, string QString, integer qint64, real double, true/false bool. Nothing when the
// text is not a well-formed property list of those kinds.
class PropertyList {
public:
    static std::optional<QVariant> parse(const QByteArray& xml);
};
