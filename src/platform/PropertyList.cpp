#include "platform/PropertyList.h"

#include <QXmlStreamReader>

namespace {
// Reads the value whose start element the reader is on, up to and including its end element.
std::optional<QVariant> readValue(QXmlStreamReader& reader);

std::optional<QVariant> readDict(QXmlStreamReader& reader)
{
    QVariantMap map;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"key")
            return std::nullopt;
        const QString key = reader.readElementText();
        if (reader.hasError() || !reader.readNextStartElement())
            return std::nullopt;
        auto value = readValue(reader);
        if (!value)
            return std::nullopt;
        map.insert(key, *value);
    }
    return reader.hasError() ? std::nullopt : std::optional<QVariant>(map);
}

std::optional<QVariant> readArray(QXmlStreamReader& reader)
{
    QVariantList list;
    while (reader.readNextStartElement()) {
        auto value = readValue(reader);
        if (!value)
            return std::nullopt;
        list.append(*value);
    }
    return reader.hasError() ? std::nullopt : std::optional<QVariant>(list);
}

std::optional<QVariant> readScalar(QXmlStreamReader& reader)
{
    const QStringView name = reader.name();
    if (name == u"true" || name == u"false") {
        const bool value = name == u"true";
        reader.skipCurrentElement();
        return value;
    }
    const QString text = reader.readElementText();
    if (reader.hasError())
        return std::nullopt;
    if (reader.name() == u"string")
        return text;
    bool valid = false;
    if (reader.name() == u"integer") {
        const qint64 number = text.trimmed().toLongLong(&valid);
        return valid ? std::optional<QVariant>(number) : std::nullopt;
    }
    if (reader.name() == u"real") {
        const double number = text.trimmed().toDouble(&valid);
        return valid ? std::optional<QVariant>(number) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QVariant> readValue(QXmlStreamReader& reader)
{
    if (reader.name() == u"dict")
        return readDict(reader);
    if (reader.name() == u"array")
        return readArray(reader);
    return readScalar(reader);
}
} // namespace

std::optional<QVariant> PropertyList::parse(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != u"plist" || !reader.readNextStartElement())
        return std::nullopt;
    auto value = readValue(reader);
    // Exactly one value, then the end of the document.
    if (!value || reader.readNextStartElement() || reader.hasError())
        return std::nullopt;
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? std::nullopt : value;
}
