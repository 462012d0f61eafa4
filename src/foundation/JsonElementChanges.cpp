#include "foundation/JsonElementChanges.h"

#include "foundation/JsonArraySplicer.h"
#include "foundation/JsonWriter.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A value's elements in order, each by its id.
struct Elements {
    QStringList ids;
    QHash<QString, QByteArray> bytes;
};

std::optional<Elements> elementsOf(const QByteArray& value, const QString& idField)
{
    Elements elements;
    if (value.isEmpty())
        return elements;
    if (idField.isEmpty()) {
        const QJsonDocument document = QJsonDocument::fromJson(value);
        if (!document.isObject())
            return std::nullopt;
        const QJsonObject object = document.object();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            elements.ids.append(it.key());
            elements.bytes.insert(it.key(), JsonWriter::toBytes(it.value()));
        }
        return elements;
    }
    // A long list is split by its brackets; only its elements are parsed, one by one.
    const std::optional<QList<std::pair<qsizetype, qsizetype>>> ranges = JsonArraySplicer::elementRanges(value);
    if (!ranges)
        return std::nullopt;
    for (const auto& [begin, size] : *ranges) {
        const QByteArray element = value.mid(begin, size);
        const QJsonValue id = QJsonDocument::fromJson(element).object().value(idField);
        if (id.isUndefined())
            return std::nullopt;
        const QString name = QString::fromUtf8(JsonWriter::toBytes(id));
        if (elements.bytes.contains(name))
            continue; // a repeated element reads as its first
        elements.ids.append(name);
        elements.bytes.insert(name, element);
    }
    return elements;
}

QByteArray join(const Elements& elements, const QString& idField)
{
    QByteArray bytes(idField.isEmpty() ? "{" : "[");
    for (const QString& id : elements.ids) {
        if (bytes.size() > 1)
            bytes += ',';
        if (idField.isEmpty())
            bytes += JsonWriter::toBytes(id) + ':';
        bytes += elements.bytes.value(id);
    }
    bytes += idField.isEmpty() ? '}' : ']';
    return bytes;
}

std::optional<QString> before(const QStringList& ids, qsizetype at)
{
    return at > 0 ? std::optional(ids.at(at - 1)) : std::nullopt;
}

} // namespace

std::optional<QList<JsonElementChanges::Change>> JsonElementChanges::between(const QByteArray& before, const QByteArray& now,
    const QString& idField)
{
    const std::optional<Elements> old = elementsOf(before, idField);
    const std::optional<Elements> current = elementsOf(now, idField);
    if (!old || !current)
        return std::nullopt;
    QList<Change> changes;
    for (const QString& id : old->ids)
        if (!current->bytes.contains(id))
            changes.append({id, {}, {}, false});
    const bool ordered = !idField.isEmpty();
    for (qsizetype at = 0; at < current->ids.size(); ++at) {
        const QString& id = current->ids.at(at);
        const qsizetype oldAt = old->ids.indexOf(id);
        const std::optional<QString> follows = ordered ? ::before(current->ids, at) : std::nullopt;
        const bool moved = ordered && oldAt >= 0 && ::before(old->ids, oldAt) != follows;
        if (oldAt < 0 || moved || old->bytes.value(id) != current->bytes.value(id))
            changes.append({id, current->bytes.value(id), follows, oldAt < 0 || moved});
    }
    return changes;
}

std::optional<QByteArray> JsonElementChanges::apply(const QByteArray& base, const QList<Change>& changes, const QString& idField)
{
    std::optional<Elements> elements = elementsOf(base, idField);
    if (!elements)
        return std::nullopt;
    for (const Change& change : changes) {
        const bool present = elements->bytes.contains(change.id);
        if (present && !change.element.isEmpty() && !change.placed) {
            elements->bytes.insert(change.id, change.element);
            continue;
        }
        elements->ids.removeOne(change.id);
        if (change.element.isEmpty()) {
            elements->bytes.remove(change.id);
            continue;
        }
        const qsizetype at = change.after ? elements->ids.indexOf(*change.after) + 1 : 0;
        elements->ids.insert(idField.isEmpty() ? elements->ids.size() : at, change.id);
        elements->bytes.insert(change.id, change.element);
    }
    return join(*elements, idField);
}
