#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A JSON text with its long strings taken out: the rest parses as a small document, and each
// long string is read straight from the text where it is wanted (a data value's Base64 decoded
// without a detour through UTF-16 text and back). A long string with escapes stays in place.
class JsonLongStrings {
public:
    // Takes out the strings of at least `minimum` bytes; the text must outlive this.
    JsonLongStrings(const QByteArray& text, qsizetype minimum);

    // The text with each long string replaced by a short stand-in.
    const QByteArray& rest() const { return rest_; }
    qsizetype count() const { return taken_.size(); }
    // The bytes between the quotes of the long string a parsed stand-in names; nothing for any
    // other string.
    std::optional<QByteArrayView> taken(const QString& standIn) const;

private:
    const QByteArray& text_;
    QByteArray rest_;
    // Where each long string's bytes start in the text, and how many there are.
    QList<std::pair<qsizetype, qsizetype>> taken_;
};
