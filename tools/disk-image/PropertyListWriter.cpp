#include "PropertyListWriter.h"

#include <QXmlStreamWriter>

namespace {
void writeValue(QXmlStreamWriter& writer, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        writer.writeStartElement(QStringLiteral("dict"));
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            writer.writeTextElement(QStringLiteral("key"), it.key());
            writeValue(writer, it.value());
        }
        writer.writeEndElement();
        break;
    }
    case QMetaType::QVariantList:
        writer.writeStartElement(QStringLiteral("array"));
        for (const QVariant& item : value.toList())
            writeValue(writer, item);
        writer.writeEndElement();
        break;
    case QMetaType::Bool:
        writer.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        writer.writeTextElement(QStringLiteral("integer"), value.toString());
        break;
    default:
        writer.writeTextElement(QStringLiteral("string"), value.toString());
    }
}
} // namespace

QByteArray PropertyListWriter::write(const QVariant& value)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("plist"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    writeValue(writer, value);
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}
