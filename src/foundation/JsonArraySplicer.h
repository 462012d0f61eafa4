#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

// The compact text of a JSON array, edited element by element: the elements are found by
// reading brackets and strings only (never parsed), spliced as views and joined once at the
// end, so a journal's many small changes to a list of tens of megabytes cost one copy of it.
class JsonArraySplicer {
public:
    // Nothing when the text is not a JSON array.
    static std::optional<JsonArraySplicer> split(const QByteArray& array);
    // Where each element of a JSON array lies in its text ([begin, size) of its bytes, without
    // the space around it), found by reading brackets and strings only; nothing for other text.
    static std::optional<QList<std::pair<qsizetype, qsizetype>>> elementRanges(const QByteArray& text);

    qsizetype size() const { return elements_.size(); }
    // `removed` elements from `at` give way to `inserted`; false (nothing changed) when they
    // are not all there.
    bool splice(qsizetype at, qsizetype removed, const QList<QByteArray>& inserted);
    // "[" + the elements joined by "," + "]".
    QByteArray join() const;

private:
    explicit JsonArraySplicer(QByteArray array) : array_(std::move(array)) {}

    // Held so that the views into it stay valid.
    QByteArray array_;
    QList<QByteArray> elements_;
};
