#include "foundation/LegacyDataList.h"

#include "foundation/LegacyJsonText.h"

#include <algorithm>

namespace {
// The one form the settings store wrote a data entry in.
constexpr QByteArrayView kDataPrefix = "{\"type\":\"data\",\"value\":\"";
constexpr QByteArrayView kDataSuffix = "\"}";


// The elements of a JSON array's text, without the space around them; nothing for other text.
std::optional<QList<QByteArrayView>> elementsOf(QByteArrayView text)
{
    text = text.trimmed();
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
        return std::nullopt;
    QList<QByteArrayView> elements;
    if (text.sliced(1, text.size() - 2).trimmed().isEmpty())
        return elements;
    for (qsizetype at = 1;;) {
        const qsizetype end = LegacyJsonText::valueEnd(text, at);
        const QByteArrayView element = text.sliced(at, std::min(end, text.size()) - at).trimmed();
        if (end == text.size() || element.isEmpty() || text.at(end) == '}')
            return std::nullopt;
        elements.append(element);
        if (text.at(end) == ']')
            return end == text.size() - 1 ? std::optional(elements) : std::nullopt;
        at = end + 1;
    }
}

void appendBase64(QByteArray& out, QByteArrayView bytes)
{
    // In parts of whole groups, so no second whole copy is made on the way.
    constexpr qsizetype kPart = qsizetype(3) << 20;
    for (qsizetype at = 0; at < bytes.size(); at += kPart)
        out += QByteArray::fromRawData(bytes.data() + at, std::min(kPart, bytes.size() - at)).toBase64();
}
} // namespace

std::optional<LegacyDataList> LegacyDataList::open(const QByteArray& entry)
{
    if (!entry.startsWith(kDataPrefix) || !entry.endsWith(kDataSuffix) || entry.size() < kDataPrefix.size() + kDataSuffix.size())
        return std::nullopt;
    const qsizetype length = entry.size() - kDataPrefix.size() - kDataSuffix.size();
    auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromRawData(entry.constData() + kDataPrefix.size(), length),
        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    LegacyDataList list;
    list.array_ = std::move(decoded.decoded);
    std::optional<QList<QByteArrayView>> elements = elementsOf(list.array_);
    if (!elements)
        return std::nullopt;
    list.elements_ = *std::move(elements);
    return list;
}

bool LegacyDataList::fits(const QList<Splice>& splices) const
{
    qsizetype size = elements_.size();
    for (const Splice& splice : splices) {
        if (splice.at < 0 || splice.removed < 0 || splice.at > size || splice.removed > size - splice.at)
            return false;
        size += splice.inserted.size() - splice.removed;
    }
    return true;
}

void LegacyDataList::apply(const QList<Splice>& splices)
{
    for (const Splice& splice : splices) {
        elements_.remove(splice.at, splice.removed);
        elements_.insert(splice.at, splice.inserted.size(), QByteArrayView());
        for (qsizetype index = 0; index < splice.inserted.size(); ++index) {
            inserted_.append(splice.inserted.at(index));
            elements_[splice.at + index] = inserted_.constLast();
        }
    }
}

QByteArray LegacyDataList::takeEntry() &&
{
    qsizetype size = 2;
    for (const QByteArrayView element : std::as_const(elements_))
        size += element.size() + 1;
    QByteArray joined;
    joined.reserve(size);
    joined += '[';
    for (qsizetype index = 0; index < elements_.size(); ++index) {
        if (index > 0)
            joined += ',';
        joined += elements_.at(index);
    }
    joined += ']';
    elements_.clear();
    array_ = {};
    inserted_.clear();
    QByteArray entry;
    entry.reserve(kDataPrefix.size() + (joined.size() + 2) / 3 * 4 + kDataSuffix.size());
    entry += kDataPrefix;
    appendBase64(entry, joined);
    entry += kDataSuffix;
    return entry;
}
