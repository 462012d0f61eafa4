#pragma once

#include <QtGlobal>

namespace pictor {

// How often an animation plays: a number of times, once, or for ever.
struct RepeatCount {
    enum class Kind { finite, once, infinite };
    Kind kind = Kind::infinite;
    quint32 count = 0;

    static RepeatCount finite(quint32 count) { return {Kind::finite, count}; }
    static RepeatCount once() { return {Kind::once, 0}; }
    static RepeatCount infinite() { return {Kind::infinite, 0}; }

    // Whether that many played loops use the count up.
    bool isReached(quint32 played) const
    {
        switch (kind) {
        case Kind::finite:
            return played >= count;
        case Kind::once:
            return played != 0;
        case Kind::infinite:
            break;
        }
        return false;
    }
    bool operator==(const RepeatCount& other) const { return kind == other.kind && (kind != Kind::finite || count == other.count); }
};

} // namespace pictor
