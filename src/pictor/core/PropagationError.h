#pragma once

#include "pictor/core/PictorError.h"
#include "pictor/retrieval/Source.h"

namespace pictor {

// One failed source of a retrieval that went on to another source.
struct PropagationError {
    Source source;
    PictorError error;
};

} // namespace pictor
