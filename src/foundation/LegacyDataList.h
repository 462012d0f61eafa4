#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// A stored list as an old settings journal edits it: a data entry whose bytes are a JSON array,
// its elements found by reading brackets and strings only (never parsed) and spliced as views, so
// many small changes to a list of tens of megabytes cost one join at the end.
class LegacyDataList {
public:
    // `removed` elements from `at` give way to `inserted` (each an element's compact JSON).
    struct Splice {
        qsizetype at = 0;
        qsizetype removed = 0;
        QList<QByteArray> inserted;
    };

    // Nothing when the entry ({"type":"data","value":"<Base64>"}) is not data holding a JSON array.
    static std::optional<LegacyDataList> open(const QByteArray& entry);

    qsizetype size() const { return elements_.size(); }
    // True when each splice, made in turn, finds the elements it removes.
    bool fits(const QList<Splice>& splices) const;
    // Makes splices that fit.
    void apply(const QList<Splice>& splices);
    // The entry holding the list as it is now; the list lets go of its bytes on the way.
    QByteArray takeEntry() &&;

private:
    LegacyDataList() = default;

    QByteArray array_;
    QList<QByteArrayView> elements_;
    // The inserted elements the views point into.
    QList<QByteArray> inserted_;
};
