#pragma once

#include <QList>
#include <QtGlobal>

#include <utility>

// A deterministic random source (a 64-bit linear congruential step) with which a list that
// carries a seed is shuffled, the same seed always giving the same order. The shuffle draws
// exactly as the shuffles of other platforms that share these seeds do, so an order is the same
// wherever it is computed.
class SeededRandomGenerator {
public:
    // The seed's bits are taken as they are: a negative seed is a large unsigned state.
    explicit SeededRandomGenerator(qint64 seed) : state_(static_cast<quint64>(seed)) {}

    // state = state * 1103515245 + 12345 (mod 2^64); returns the new state.
    quint64 next();

    // A uniform value in [0, upperBound) by the widening multiply with rejection; upperBound > 0.
    quint64 next(quint64 upperBound);

    // Fisher-Yates from the front: for each i, swaps i with i + a draw below the remaining count.
    template <typename T>
    void shuffle(QList<T>& list)
    {
        const qsizetype count = list.size();
        for (qsizetype i = 0; i + 1 < count; ++i) {
            const auto offset = static_cast<qsizetype>(next(static_cast<quint64>(count - i)));
            if (offset != 0)
                list.swapItemsAt(i, i + offset);
        }
    }

private:
    quint64 state_;
};
